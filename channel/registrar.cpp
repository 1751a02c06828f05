#include "registrar.h"

#include <cwctype>
#include <vector>

#include "unique_handle.h"

namespace mivola {

namespace {

enum class KeyFlag { Plain, NoRemove, ForceRemove };

struct Value {
    std::wstring name;  // empty: the key's default value
    DWORD type = REG_SZ;
    std::wstring text;
    DWORD number = 0;
};

struct Key {
    KeyFlag flag = KeyFlag::Plain;
    std::wstring name;
    bool hasDefault = false;
    Value defaultValue;
    std::vector<Value> values;
    std::vector<Key> keys;
};

struct Root {
    HKEY hive;
    std::vector<Key> keys;
};

class Parser {
public:
    explicit Parser(const std::wstring& s) : s_(s) {}

    bool Script(const RegistrarRoots& roots, std::vector<Root>& out) {
        for (;;) {
            Skip();
            if (pos_ >= s_.size()) return true;
            std::wstring word;
            if (!Bare(word)) return false;
            HKEY hive = nullptr;
            if (word == L"HKCR" || word == L"HKEY_CLASSES_ROOT") hive = roots.classesRoot;
            else if (word == L"HKLM" || word == L"HKEY_LOCAL_MACHINE") hive = roots.localMachine;
            else if (word == L"HKCU" || word == L"HKEY_CURRENT_USER") hive = roots.currentUser;
            else return false;
            Root root{hive, {}};
            std::vector<Value> none;
            if (!Expect(L'{') || !Items(root.keys, none, false)) return false;
            out.push_back(std::move(root));
        }
    }

private:
    void Skip() {
        while (pos_ < s_.size() && std::iswspace(s_[pos_])) ++pos_;
    }
    // Braces are tokens of their own only when white space (or the end) follows them, so that
    // a name such as {320FB78B-...} is one word.
    bool IsToken(wchar_t c) {
        Skip();
        if (pos_ >= s_.size() || s_[pos_] != c) return false;
        if (c == L'{' || c == L'}') return pos_ + 1 == s_.size() || std::iswspace(s_[pos_ + 1]);
        return true;
    }
    bool Expect(wchar_t c) {
        if (!IsToken(c)) return false;
        ++pos_;
        return true;
    }
    bool Peek(wchar_t c) { return IsToken(c); }
    bool Bare(std::wstring& word) {
        Skip();
        size_t start = pos_;
        while (pos_ < s_.size() && !std::iswspace(s_[pos_]) && s_[pos_] != L'=' && s_[pos_] != L'\'') ++pos_;
        word = s_.substr(start, pos_ - start);
        return !word.empty();
    }
    bool Quoted(std::wstring& text) {
        if (!Expect(L'\'')) return false;
        text.clear();
        while (pos_ < s_.size()) {
            wchar_t c = s_[pos_++];
            if (c != L'\'') {
                text += c;
                continue;
            }
            if (pos_ < s_.size() && s_[pos_] == L'\'') {
                text += L'\'';
                ++pos_;
                continue;
            }
            return true;
        }
        return false;  // unterminated
    }
    bool Name(std::wstring& name) { return Peek(L'\'') ? Quoted(name) : Bare(name); }
    bool ValueData(Value& v) {
        std::wstring type, text;
        if (!Bare(type) || !Quoted(text)) return false;
        if (type == L"s") {
            v.type = REG_SZ;
            v.text = text;
            return true;
        }
        if (type != L"d" || text.empty()) return false;
        unsigned long long n = 0;
        size_t i = 0;
        bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
        if (hex) i = 2;
        for (; i < text.size(); ++i) {
            wchar_t c = text[i];
            unsigned digit;
            if (c >= L'0' && c <= L'9') digit = static_cast<unsigned>(c - L'0');
            else if (hex && c >= L'a' && c <= L'f') digit = static_cast<unsigned>(c - L'a' + 10);
            else if (hex && c >= L'A' && c <= L'F') digit = static_cast<unsigned>(c - L'A' + 10);
            else return false;
            n = n * (hex ? 16 : 10) + digit;
            if (n > 0xFFFFFFFFull) return false;
        }
        v.type = REG_DWORD;
        v.number = static_cast<DWORD>(n);
        return true;
    }
    // Items up to and including the closing brace.
    bool Items(std::vector<Key>& keys, std::vector<Value>& values, bool allowValues) {
        for (;;) {
            if (Peek(L'}')) {
                ++pos_;
                return true;
            }
            if (pos_ >= s_.size()) return false;
            std::wstring word;
            bool quoted = Peek(L'\'');
            if (!Name(word)) return false;
            if (!quoted && word == L"val") {
                if (!allowValues) return false;
                Value v;
                if (!Name(v.name) || v.name.empty() || !Expect(L'=') || !ValueData(v)) return false;
                values.push_back(std::move(v));
                continue;
            }
            Key key;
            if (!quoted && (word == L"NoRemove" || word == L"ForceRemove")) {
                key.flag = word == L"NoRemove" ? KeyFlag::NoRemove : KeyFlag::ForceRemove;
                if (!Name(word)) return false;
            }
            key.name = word;
            if (Peek(L'=')) {
                ++pos_;
                key.hasDefault = true;
                if (!ValueData(key.defaultValue)) return false;
            }
            if (Peek(L'{')) {
                ++pos_;
                if (!Items(key.keys, key.values, true)) return false;
            }
            keys.push_back(std::move(key));
        }
    }

    const std::wstring& s_;
    size_t pos_ = 0;
};

HRESULT FromStatus(LSTATUS status) { return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status); }

HRESULT SetValue(HKEY key, const Value& v) {
    LSTATUS status;
    if (v.type == REG_DWORD) {
        status = ::RegSetValueExW(key, v.name.empty() ? nullptr : v.name.c_str(), 0, REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&v.number), sizeof v.number);
    } else {
        status = ::RegSetValueExW(key, v.name.empty() ? nullptr : v.name.c_str(), 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(v.text.c_str()),
                                  static_cast<DWORD>((v.text.size() + 1) * sizeof(wchar_t)));
    }
    return FromStatus(status);
}

HRESULT DeleteWhole(HKEY parent, const std::wstring& name) {
    LSTATUS status = ::RegDeleteTreeW(parent, name.c_str());
    if (status == ERROR_FILE_NOT_FOUND) return S_OK;
    if (status != ERROR_SUCCESS) return FromStatus(status);
    status = ::RegDeleteKeyW(parent, name.c_str());
    return status == ERROR_FILE_NOT_FOUND ? S_OK : FromStatus(status);
}

HRESULT Register(HKEY parent, const Key& k) {
    if (k.flag == KeyFlag::ForceRemove) {
        HRESULT hr = DeleteWhole(parent, k.name);
        if (FAILED(hr)) return hr;
    }
    unique_hkey key;
    LSTATUS status = ::RegCreateKeyExW(parent, k.name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    if (status != ERROR_SUCCESS) return FromStatus(status);
    if (k.hasDefault) {
        HRESULT hr = SetValue(key.get(), k.defaultValue);
        if (FAILED(hr)) return hr;
    }
    for (const Value& v : k.values) {
        HRESULT hr = SetValue(key.get(), v);
        if (FAILED(hr)) return hr;
    }
    for (const Key& child : k.keys) {
        HRESULT hr = Register(key.get(), child);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

// Keeps the first failure of several steps that are all taken.
void Note(HRESULT& first, HRESULT hr) {
    if (SUCCEEDED(first) && FAILED(hr)) first = hr;
}

// Every key is tried even after one failed, so that one undeletable key does not leave the
// others registered.
HRESULT Unregister(HKEY parent, const Key& k) {
    if (k.flag != KeyFlag::NoRemove) return DeleteWhole(parent, k.name);
    unique_hkey key;
    LSTATUS status = ::RegOpenKeyExW(parent, k.name.c_str(), 0, KEY_ALL_ACCESS, key.put());
    if (status == ERROR_FILE_NOT_FOUND) return S_OK;
    if (status != ERROR_SUCCESS) return FromStatus(status);
    HRESULT first = S_OK;
    for (const Value& v : k.values) {
        status = ::RegDeleteValueW(key.get(), v.name.c_str());
        if (status != ERROR_FILE_NOT_FOUND) Note(first, FromStatus(status));
    }
    for (const Key& child : k.keys) Note(first, Unregister(key.get(), child));
    return first;
}

// The module's registration script, decoded from UTF-8; false when it has none.
bool LoadScript(HMODULE module, std::wstring& script) {
    HRSRC found = ::FindResourceW(module, MAKEINTRESOURCEW(kRegistryScriptResource), L"REGISTRY");
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    const DWORD size = found ? ::SizeofResource(module, found) : 0;
    if (!bytes || size == 0 || size > 0x100000) return false;  // a script is a few hundred bytes
    const int units = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(size), nullptr, 0);
    if (units <= 0) return false;
    script.assign(static_cast<size_t>(units), L'\0');
    return ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes, static_cast<int>(size), &script[0], units) ==
           units;
}

}  // namespace

std::wstring SubstituteQuoted(const std::wstring& script, const wchar_t* name, const std::wstring& value) {
    std::wstring quoted;
    for (wchar_t c : value) {
        quoted += c;
        if (c == L'\'') quoted += L'\'';
    }
    const std::wstring token = std::wstring(L"%") + name + L"%";
    std::wstring out;
    size_t pos = 0;
    for (;;) {
        size_t found = script.find(token, pos);
        if (found == std::wstring::npos) break;
        out.append(script, pos, found - pos);
        out += quoted;
        pos = found + token.size();
    }
    out.append(script, pos, std::wstring::npos);
    return out;
}

HRESULT RunRegistryScript(const std::wstring& script, bool doRegister, const RegistrarRoots& roots) {
    std::vector<Root> parsed;
    Parser parser(script);
    if (!parser.Script(roots, parsed)) return E_INVALIDARG;
    HRESULT first = S_OK;
    for (const Root& root : parsed) {
        for (const Key& k : root.keys) {
            if (!doRegister) {
                Note(first, Unregister(root.hive, k));
                continue;
            }
            HRESULT hr = Register(root.hive, k);
            if (FAILED(hr)) return hr;
        }
    }
    return first;
}

HRESULT RunModuleRegistration(HMODULE resources, const std::wstring& modulePath, bool doRegister,
                              const RegistrarRoots& roots) {
    std::wstring script;
    HRESULT hr = HRESULT_FROM_WIN32(ERROR_RESOURCE_DATA_NOT_FOUND);
    if (LoadScript(resources, script))
        hr = RunRegistryScript(SubstituteQuoted(script, L"MODULE", modulePath), doRegister, roots);
    ::PostMessageW(HWND_BROADCAST, ::RegisterWindowMessageW(L"WMPlayer_PluginAddRemove"), 0, 0);
    return hr;
}

HRESULT RegisterModuleFile(const std::wstring& path, bool doRegister) {
    // As data only: no code of the file runs, and its DllMain publishes nothing.
    unique_hmodule module(
        ::LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    if (!module) return HRESULT_FROM_WIN32(::GetLastError());
    // The value the module would find for itself once loaded from this path.
    std::wstring full(32768, L'\0');
    const DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), &full[0], nullptr);
    if (n == 0 || n >= full.size()) return E_INVALIDARG;
    full.resize(n);
    return RunModuleRegistration(module.get(), full, doRegister);
}

}  // namespace mivola
