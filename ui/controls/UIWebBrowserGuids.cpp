// Interface and group identifiers that mingw's uuid library lacks, instantiated once here.
#include <initguid.h>
#include <downloadmgr.h>
#include <mshtmhst.h>
