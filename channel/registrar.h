// A small registrar for the subset of the registry-script (.rgs) syntax the WMP bridge's script
// uses, in place of ATL's, which mingw-w64 does not have. The bridge registers itself with it,
// and the installer registers the bridge with it without running the bridge's code.
//
//   script  := root*
//   root    := ("HKCR" | "HKLM" | "HKCU" | "HKEY_CLASSES_ROOT" | "HKEY_LOCAL_MACHINE"
//               | "HKEY_CURRENT_USER") "{" item* "}"
//   item    := key | "val" name "=" value
//   key     := ["NoRemove" | "ForceRemove"] name ["=" value] ["{" item* "}"]
//   value   := "s" quoted            a REG_SZ
//            | "d" quoted            a REG_DWORD, decimal or 0x-hexadecimal, 0..4294967295
//   name    := a bare word (up to white space or "=", so {CLSID} is one word) or a quoted text
//   "{" and "}" are tokens of their own when white space or the end of the script follows them
//   quoted  := "'" text "'", a single quote inside written twice
//
// Registering: a NoRemove key is opened (created when missing); a ForceRemove key is deleted
// with everything below it and created anew; a plain key is created or opened. The key's
// default value and its "val" values are then written, and its items processed.
// Unregistering: a NoRemove key is only descended into (never deleted), and the "val" values
// directly inside it are deleted; every other key is deleted with everything below it.
// The whole script is parsed before anything is written: a script with a syntax error
// changes nothing and gives E_INVALIDARG. Otherwise the result is S_OK or the HRESULT of the
// first registry call that failed: registering stops there, unregistering goes on with every
// other key so that one that cannot be deleted leaves no other behind.
#pragma once

#include <windows.h>

#include <string>

namespace mivola {

// Replaces every "%NAME%" whose NAME is `name` by `value` with its single quotes doubled
// (the replacement stands inside a quoted text). Other text is left as it is.
std::wstring SubstituteQuoted(const std::wstring& script, const wchar_t* name, const std::wstring& value);

struct RegistrarRoots {
    // Where each root of the script goes; tests point them at a private key.
    HKEY classesRoot = HKEY_CLASSES_ROOT;
    HKEY localMachine = HKEY_LOCAL_MACHINE;
    HKEY currentUser = HKEY_CURRENT_USER;
};

HRESULT RunRegistryScript(const std::wstring& script, bool doRegister, const RegistrarRoots& roots = RegistrarRoots());

// The script a module carries as its resource of type "REGISTRY".
constexpr WORD kRegistryScriptResource = 101;

// Registers or unregisters a module from its own script (UTF-8, resource kRegistryScriptResource
// of `resources`, which may be loaded as data only) with %MODULE% standing for modulePath, then
// posts the registered message "WMPlayer_PluginAddRemove" to all top-level windows, whatever the
// outcome. A module without a script gives HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND).
HRESULT RunModuleRegistration(HMODULE resources, const std::wstring& modulePath, bool doRegister,
                              const RegistrarRoots& roots = RegistrarRoots());

// The same for the module file at path, loaded as data and never run, with its full path as
// %MODULE%: what the module does when it registers itself after being loaded from path.
HRESULT RegisterModuleFile(const std::wstring& path, bool doRegister);

}  // namespace mivola
