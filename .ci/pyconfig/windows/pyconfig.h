/* The configuration the Python headers read, for a compile-only check of the
   module against 64-bit Windows with MinGW-w64 (LLP64: long is 4 bytes,
   wchar_t 2). Only what the stable-ABI headers consult is here. The module
   imports every API function and object from python3.dll (hence
   Py_ENABLE_SHARED and the dllimport declarations); PyMODINIT_FUNC exports
   the init entry. */
#ifndef Py_PYCONFIG_H
#define Py_PYCONFIG_H

#define MS_WIN32 1
#define MS_WIN64 1
#define MS_WINDOWS 1
#define NT_THREADS 1
#define Py_ENABLE_SHARED 1
#define HAVE_DECLSPEC_DLL 1

#define SIZEOF_SHORT 2
#define SIZEOF_INT 4
#define SIZEOF_LONG 4
#define SIZEOF_LONG_LONG 8
#define SIZEOF_SIZE_T 8
#define SIZEOF_VOID_P 8
#define SIZEOF_UINTPTR_T 8
#define SIZEOF_TIME_T 8
#define SIZEOF_OFF_T 4
#define SIZEOF_FPOS_T 8
#define SIZEOF_PID_T 4
#define SIZEOF_WCHAR_T 2
#define SIZEOF_FLOAT 4
#define SIZEOF_DOUBLE 8
#define SIZEOF_HKEY 8
#define ALIGNOF_LONG 4
#define ALIGNOF_SIZE_T 8

#define HAVE_STDDEF_H 1
#define HAVE_ERRNO_H 1
#define HAVE_SYS_STAT_H 1
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
