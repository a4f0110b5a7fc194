// SPDX-License-Identifier: GPL-3.0-or-later
// Whether the tests run under Wine rather than on Windows itself, for the few places where Wine
// behaves otherwise than Windows.
#pragma once

#ifdef _WIN32
#include <windows.h>
#endif

inline bool runsUnderWine() {
#ifdef _WIN32
  // Wine's ntdll has a function that Windows' lacks.
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}
