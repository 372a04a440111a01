// A growable array of fixed-size records, addressed from 1.
//
// Storage starts as one 8192-byte block; when less than one record of room
// is left it grows by realloc to the capacity plus 8192 plus the record size
// rounded down to a multiple of 8192. Index 0 or an index past the count
// yields nothing.
#pragma once

#include <cstddef>
#include <cstdint>

struct RecordList {
  uint8_t* records;
  size_t record_size;
  size_t capacity_bytes;
  size_t count;
};

constexpr size_t kRecordListBlock = 8192;

// Sets up an empty list; 0 when the first block cannot be allocated (the list
// is then empty and safe to free).
int InitRecordList(RecordList* list, size_t record_size);

// Appends a copy of `record`; returns its 1-based index, 0 when out of memory.
size_t AppendRecord(RecordList* list, const void* record);

// The record at a 1-based index, or null.
void* GetRecord(const RecordList* list, size_t index);

// Frees the storage and empties the list.
void FreeRecordList(RecordList* list);
