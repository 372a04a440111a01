// Names and addresses of the product the installer installs, shared by the
// installer's window and its procedures.
#pragma once

#define PRODUCT_NAME "Tarnwell Brindlemoor"
#define INSTALLER_VERSION_TEXT "1.0.3.5"
#define INSTALLER_VERSION_COMMAS 1, 0, 3, 5
#define PRODUCT_WEB_ADDRESS "https://www.quenby-audio.example/brindlemoor/"
#define PRODUCT_WEB_HOST "www.quenby-audio.example"
