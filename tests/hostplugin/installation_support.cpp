#include "installation_support.h"

#include <algorithm>
#include <cstring>
#include <functional>

#include "install_request.h"
#include "players.h"
#include "shared_region.h"

namespace mivola::test {

RegistryValueGuard::RegistryValueGuard(HKEY root, const std::wstring& subkey, const wchar_t* value)
    : root_(root), subkey_(subkey), value_(value ? value : L""), isDefault_(value == nullptr) {
    unique_hkey key;
    keyExisted_ = ::RegOpenKeyExW(root_, subkey_.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS;
    if (!keyExisted_) return;
    DWORD size = 0;
    const wchar_t* name = isDefault_ ? nullptr : value_.c_str();
    if (::RegQueryValueExW(key.get(), name, nullptr, &type_, nullptr, &size) != ERROR_SUCCESS) return;
    data_.resize(size);
    valueExisted_ = ::RegQueryValueExW(key.get(), name, nullptr, &type_, data_.data(), &size) == ERROR_SUCCESS;
    data_.resize(size);
}

RegistryValueGuard::~RegistryValueGuard() {
    if (!keyExisted_) {
        ::RegDeleteTreeW(root_, subkey_.c_str());
        ::RegDeleteKeyW(root_, subkey_.c_str());
        return;
    }
    unique_hkey key;
    if (::RegOpenKeyExW(root_, subkey_.c_str(), 0, KEY_SET_VALUE, key.put()) != ERROR_SUCCESS) return;
    const wchar_t* name = isDefault_ ? nullptr : value_.c_str();
    if (valueExisted_)
        ::RegSetValueExW(key.get(), name, 0, type_, data_.data(), static_cast<DWORD>(data_.size()));
    else
        ::RegDeleteValueW(key.get(), name);
}

bool RegistryValueGuard::Set(const std::wstring& text) {
    unique_hkey key;
    if (::RegCreateKeyExW(root_, subkey_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        return false;
    return ::RegSetValueExW(key.get(), isDefault_ ? nullptr : value_.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(text.c_str()),
                            static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void RegistryValueGuard::Remove() {
    unique_hkey key;
    if (::RegOpenKeyExW(root_, subkey_.c_str(), 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS)
        ::RegDeleteValueW(key.get(), isDefault_ ? nullptr : value_.c_str());
}

RegistryKeyGuard::RegistryKeyGuard(HKEY root, const std::wstring& subkey, REGSAM view)
    : root_(root), subkey_(subkey), view_(view), existed_(KeyExists(root, subkey, view)) {}

RegistryKeyGuard::~RegistryKeyGuard() {
    if (existed_) return;
    const size_t slash = subkey_.rfind(L'\\');
    unique_hkey parent;
    if (::RegOpenKeyExW(root_, subkey_.substr(0, slash).c_str(), 0, KEY_ALL_ACCESS | view_, parent.put()) !=
        ERROR_SUCCESS)
        return;
    const std::wstring name = subkey_.substr(slash + 1);
    ::RegDeleteTreeW(parent.get(), name.c_str());
    ::RegDeleteKeyExW(parent.get(), name.c_str(), view_, 0);
}

bool KeyExists(HKEY root, const std::wstring& subkey, REGSAM view) {
    unique_hkey key;
    return ::RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

std::wstring RegistryText(HKEY root, const std::wstring& subkey, const wchar_t* value) {
    wchar_t text[2048] = L"";
    DWORD size = sizeof text - sizeof(wchar_t);
    unique_hkey key;
    if (::RegOpenKeyExW(root, subkey.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS ||
        ::RegQueryValueExW(key.get(), value, nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size) != ERROR_SUCCESS)
        return L"<none>";
    return text;
}

RegisteredPlayers::RegisteredPlayers()
    : wmpDirectory(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\MediaPlayer", L"Installation Directory"),
      wmpPlayerPath(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Multimedia\\WMPlayer", L"Player.Path"),
      winamp(HKEY_CURRENT_USER, L"Software\\Winamp", nullptr) {
    wmpDirectory.Remove();
    wmpPlayerPath.Remove();
    winamp.Remove();
}

FakePlayer::FakePlayer(uint32_t playerId, bool withProgram, const std::wstring& parent) : id_(playerId), dir_(parent) {
    if (id_ == kPlayerWinamp) ::CreateDirectoryW((dir_.Path() + L"Plugins").c_str(), nullptr);
    if (withProgram) WriteFileBytes(Program(), "MZ player");
}

std::wstring FakePlayer::Program() const {
    return dir_.Path() + (id_ == kPlayerWinamp ? L"winamp.exe" : L"wmplayer.exe");
}

std::wstring FakePlayer::BridgePath() const {
    return dir_.Path() + (id_ == kPlayerWinamp ? L"Plugins\\gen_zeq_mivola.dll" : L"ZEQ_Mivola_WMP.dll");
}

const wchar_t kWmpClassKey[] = L"CLSID\\{320FB78B-87F1-4714-AF6C-8481D1F34670}";
const wchar_t kWmpUiPluginKey[] =
    L"SOFTWARE\\Microsoft\\MediaPlayer\\UIPlugins\\{320FB78B-87F1-4714-AF6C-8481D1F34670}";

std::wstring MivolaFolder(const PluginFolder& folder) { return Widen(folder.ModuleDir()) + L"Mivola\\"; }

bool WmpBridgeBuilt() { return FileExists(BuildFile(Arch::Same, L"..\\wmp\\ZEQ_Mivola_WMP.dll")); }

bool AddInstaller(const PluginFolder& folder) {
    const std::wstring to = MivolaFolder(folder);
    bool ok = ::CopyFileW(BuildFile(Arch::Same, L"..\\installer\\vennick.exe").c_str(), (to + L"vennick.exe").c_str(),
                          FALSE) &&
              ::CopyFileW(BuildFile(Arch::Same, L"..\\winamp\\gen_zeq_mivola.dll").c_str(),
                          (to + L"gen_zeq_mivola.dll").c_str(), FALSE);
    if (ok && WmpBridgeBuilt())
        ok = ::CopyFileW(BuildFile(Arch::Same, L"..\\wmp\\ZEQ_Mivola_WMP.dll").c_str(),
                         (to + L"ZEQ_Mivola_WMP.dll").c_str(), FALSE) != FALSE;
    return ok;
}

std::string RequestBytes(uint8_t operation, uint8_t playerId, const std::string& first, const std::string& second) {
    InstallRequestHeader header{operation, playerId, 0, static_cast<uint32_t>(sizeof header + first.size() + 1),
                                static_cast<uint32_t>(sizeof header)};
    std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
    bytes += first;
    bytes.push_back('\0');
    bytes += second;
    bytes.push_back('\0');
    return bytes;
}

InstallerRun RunVennick(const std::wstring& vennick, const std::string& bytes, const std::wstring& args,
                        DWORD regionSize, bool createRegion) {
    InstallerRun run;
    SharedRegion region;
    const DWORD size = regionSize ? regionSize : static_cast<DWORD>(bytes.size());
    if (createRegion) {
        if (region.Open(kInstallRequestRegion, size) != RegionCreated) return run;
        std::memcpy(region.View(), bytes.data(), std::min<size_t>(bytes.size(), size));
    }
    ChildResult child = RunChild(vennick, args);
    run.started = child.started && child.finished;
    run.exitCode = child.exitCode;
    if (createRegion) run.verdict = static_cast<unsigned char*>(region.View())[0];
    return run;
}

namespace {
void List(const std::wstring& dir, const std::wstring& prefix, std::string& out) {
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW((dir + L"*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = fd.cFileName;
        if (name == L"." || name == L"..") continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out += Narrow(prefix + name) + "\\\n";
            List(dir + name + L"\\", prefix + name + L"\\", out);
        } else {
            out += Narrow(prefix + name) + " " + std::to_string(ReadFileBytes(dir + name).size()) + " " +
                   std::to_string(std::hash<std::string>()(ReadFileBytes(dir + name))) + "\n";
        }
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
}
}  // namespace

std::string Listing(const std::wstring& dir) {
    std::string out;
    List(dir, L"", out);
    return out;
}

}  // namespace mivola::test
