/* The configuration the Python headers read, for a compile-only check of the
   module against macOS (x86-64 and arm64: LP64, both little-endian). Only
   what the stable-ABI headers consult is here; the module is linked with
   -undefined dynamic_lookup, as every macOS extension is. */
#ifndef Py_PYCONFIG_H
#define Py_PYCONFIG_H

#define SIZEOF_SHORT 2
#define SIZEOF_INT 4
#define SIZEOF_LONG 8
#define SIZEOF_LONG_LONG 8
#define SIZEOF_SIZE_T 8
#define SIZEOF_VOID_P 8
#define SIZEOF_UINTPTR_T 8
#define SIZEOF_TIME_T 8
#define SIZEOF_OFF_T 8
#define SIZEOF_FPOS_T 8
#define SIZEOF_PID_T 4
#define SIZEOF_WCHAR_T 4
#define SIZEOF_FLOAT 4
#define SIZEOF_DOUBLE 8
#define ALIGNOF_LONG 8
#define ALIGNOF_SIZE_T 8

#define HAVE_SSIZE_T 1
#define HAVE_STDDEF_H 1
#define HAVE_ERRNO_H 1
#define HAVE_UNISTD_H 1
#define HAVE_SYS_STAT_H 1
#define HAVE_SYS_TIME_H 1
#define HAVE_SYS_SELECT_H 1
#define HAVE_WCHAR_H 1
#define HAVE_DYNAMIC_LOADING 1
#define HAVE_COPYSIGN 1
#define HAVE_ROUND 1
#define HAVE_HYPOT 1
#define HAVE_DECL_ISINF 1
#define HAVE_DECL_ISNAN 1
#define HAVE_DECL_ISFINITE 1
#define WITH_DOC_STRINGS 1
#define WITH_PYMALLOC 1

#endif /* Py_PYCONFIG_H */
