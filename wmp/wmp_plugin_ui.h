// IWMPPluginUI, the interface Windows Media Player calls on its UI plug-ins. mingw-w64 does not
// declare it; IID and slot order are those of the Windows Media Player SDK's plug-in header
// (base IUnknown, not dual): 3 SetCore, 4 Create, 5 Destroy, 6 DisplayPropertyPage,
// 7 GetProperty, 8 SetProperty, 9 TranslateAccelerator.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <unknwn.h>
#include <wmp.h>

// {4C5E8F9F-AD3E-4BF9-9753-FCD30D6D38DD}
MIDL_INTERFACE("4C5E8F9F-AD3E-4BF9-9753-FCD30D6D38DD")
IWMPPluginUI : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE SetCore(IWMPCore* pCore) = 0;
    virtual HRESULT STDMETHODCALLTYPE Create(HWND hwndParent, HWND* phwndWindow) = 0;
    virtual HRESULT STDMETHODCALLTYPE Destroy() = 0;
    virtual HRESULT STDMETHODCALLTYPE DisplayPropertyPage(HWND hwndParent) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetProperty(const WCHAR* pwszName, VARIANT* pvarProperty) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetProperty(const WCHAR* pwszName, const VARIANT* pvarProperty) = 0;
    virtual HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* lpmsg) = 0;
};
__CRT_UUID_DECL(IWMPPluginUI, 0x4c5e8f9f, 0xad3e, 0x4bf9, 0x97, 0x53, 0xfc, 0xd3, 0x0d, 0x6d, 0x38, 0xdd)

// Capabilities of a UIPlugins registry entry: a type in the low bits, flags in the high ones.
constexpr DWORD PLUGIN_TYPE_BACKGROUND = 1;
constexpr DWORD PLUGIN_TYPE_SEPARATEWINDOW = 2;
constexpr DWORD PLUGIN_TYPE_DISPLAYAREA = 3;
constexpr DWORD PLUGIN_TYPE_SETTINGSAREA = 4;
constexpr DWORD PLUGIN_TYPE_METADATAAREA = 5;
constexpr DWORD PLUGIN_FLAGS_HASPROPERTYPAGE = 0x80000000;
constexpr DWORD PLUGIN_FLAGS_INSTALLAUTORUN = 0x40000000;
constexpr DWORD PLUGIN_FLAGS_LAUNCHPROPERTYPAGE = 0x20000000;
constexpr DWORD PLUGIN_FLAGS_ACCEPTSMEDIA = 0x10000000;
constexpr DWORD PLUGIN_FLAGS_ACCEPTSPLAYLISTS = 0x08000000;
constexpr DWORD PLUGIN_FLAGS_HASPRESETS = 0x04000000;
constexpr DWORD PLUGIN_FLAGS_HIDDEN = 0x02000000;
constexpr DWORD PLUGIN_TYPE_MASK = 0x0000FFFF;

// Where the player finds its UI plug-ins (below HKEY_LOCAL_MACHINE), and its refresh notice.
constexpr wchar_t kUiPluginsKey[] = L"SOFTWARE\\Microsoft\\MediaPlayer\\UIPlugins";
constexpr wchar_t kPluginAddRemoveMessage[] = L"WMPlayer_PluginAddRemove";
