// clbl/colorbal.h
// The colour-balance library: include this one header to use it.
#pragma once

#include "clbl/defs.h"
#include "clbl/driver.h"
#include "clbl/measurement.h"
#include "clbl/params.h"
#include "clbl/result.h"
#include "clbl/tool.h"
