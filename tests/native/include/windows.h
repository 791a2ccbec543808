// The one Windows type the byte readers take, for building them on Linux.
#pragma once

typedef unsigned char BYTE;
