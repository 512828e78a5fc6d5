// toolkit/foundation/export.h
// Symbol visibility for the toolkit: everything is hidden unless marked.
#pragma once

#define KC_EXPORT __attribute__((visibility("default")))
