// Common definitions of the Veneer framework: export macro and platform headers.
#pragma once
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <windowsx.h>
#include <commctrl.h>
#include <stddef.h>
#include <stdint.h>

// The framework is built twice from one set of sources: linked in statically (the updater) and as
// the shared library Veneer_u (the console). VENEER_BUILD_DLL is set while building the shared
// library; a program that uses it defines VENEER_USE_DLL.
#if defined(VENEER_BUILD_DLL)
#define VENEER_API __declspec(dllexport)
#elif defined(VENEER_USE_DLL)
#define VENEER_API __declspec(dllimport)
#else
#define VENEER_API
#endif
