// clbl/export.h
// Symbol visibility for the colour-balance library.
#pragma once

#define CLBL_EXPORT __attribute__((visibility("default")))
