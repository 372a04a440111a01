// A planted fault for the import check: linked with -shared-libgcc, this
// library takes its bit count from libgcc's DLL, which no Windows has.
extern "C" __declspec(dllexport) int PlantedBitCount(unsigned long long bits) {
  return __builtin_popcountll(bits);
}
