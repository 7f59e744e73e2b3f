#pragma once
#include <windows.h>

// An in-process COM server built on the kit (sondrel_com_server in CMake) gets DllMain and
// DllCanUnloadNow from ComServer.cpp; it supplies DllGetClassObject, DllRegisterServer and
// DllUnregisterServer itself. This is the server's own module.
HMODULE ComServerModule();
