// toolkit/acq/acq_fifo.cpp
#include "toolkit/acq/acq_fifo.h"

kcAcqFifo::~kcAcqFifo() = default;
