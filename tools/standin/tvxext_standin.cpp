// A stand-in for the shell-extension library tvxext.dll: a real in-process COM server that
// offers no class, so a shell that loads it gets a clean refusal and unloads it again. The
// program under test only registers the library by its path.
#include <windows.h>

extern "C" __declspec(dllexport) HRESULT WINAPI DllGetClassObject(REFCLSID, REFIID, void** object)
{
    *object = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow()
{
    return S_OK;
}
