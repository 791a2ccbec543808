// The few Windows types and calls the byte readers take, for building them
// on Linux.
#pragma once

#include <stdio.h>

typedef unsigned char BYTE;
typedef long LONG;
typedef struct tagSIZE {
    LONG cx, cy;
} SIZE;

#define _fseeki64 fseeko
