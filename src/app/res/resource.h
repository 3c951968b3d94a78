// Resource identifiers of the installer executable.
#pragma once

#define IDI_APP_ICON 101
// The skin archive: type "ZIPRES", identifier 150.
#define IDR_SKIN_ARCHIVE 150
