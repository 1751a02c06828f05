// Saving an INI file so that it is never left half-written. The private-profile functions
// rewrite the whole file on every write; on a full disk they can leave it cut short and still
// report success, losing settings that were not even being changed. An update writes into a
// copy beside the file with the same functions (so the bytes are the ones they would have
// written), reads the copy back, and only when every key of the file is there, every value
// written reads back as written, and the last line is whole, puts the copy in the file's place.
// Anything less leaves the file exactly as it was.
#pragma once

#include <map>
#include <string>

namespace mivola {

class IniFileUpdate {
public:
    // Starts from a copy of the file at path (or from nothing when there is no file).
    explicit IniFileUpdate(const std::string& path);
    IniFileUpdate(const IniFileUpdate&) = delete;
    IniFileUpdate& operator=(const IniFileUpdate&) = delete;
    // Removes a copy that was not committed.
    ~IniFileUpdate();

    // WritePrivateProfileStringA into the copy; a failure spoils the whole update.
    bool Write(const char* section, const char* key, const char* value);
    // Replaces the file with the copy when every write succeeded and the copy reads back whole;
    // otherwise leaves the file untouched. True when the file was replaced.
    bool Commit();

private:
    struct Entry {
        std::string section, key, value;
    };

    std::string path_;
    std::string copy_;
    // The written values alone, in a file of their own: what the copy must give back for them
    // (readers drop blanks and quotes by rules of their own, so they are asked, not imitated).
    std::string probe_;
    // Keys of the file that no write replaces, and the keys written, by section and key
    // (ASCII case folded).
    std::map<std::string, Entry> kept_;
    std::map<std::string, Entry> written_;
    bool mustEndLine_ = true;
    bool ok_ = true;
    bool committed_ = false;
};

}  // namespace mivola
