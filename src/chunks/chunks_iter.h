// ChunksIter: an iterator adapter that hands out lists of up to chunk_size
// items taken in order from a wrapped iterator.
#pragma once

#include <Python.h>

namespace ostrel {

// Borrowed; the type object is made on first use and kept for the life of
// the process. A failure to make it is an internal fault.
PyObject* chunks_iter_type();

}  // namespace ostrel
