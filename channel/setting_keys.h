// The settings file "Mivola\Setting.ini" beside the host plug-in, which the iTunes and media-session
// bridges read as "Setting.ini" beside themselves: its name and every section and key in it.
#pragma once

namespace mivola::setting_ini {

constexpr char kFolder[] = "Mivola";
constexpr char kFileName[] = "Setting.ini";

constexpr char kMain[] = "Main";
constexpr char kVersion[] = "Version";        // above 1: the numbered sections below are "Mivola%03u"
constexpr char kSettingCount[] = "MivolaNum";
constexpr char kiTunesCheck[] = "iTunesCheck";
constexpr char kiTunesTiming[] = "iTunesTiming";  // the iTunes bridge's polling interval
constexpr char kSmtcCheck[] = "SMTCCheck";
constexpr char kSmtcTiming[] = "SMTCTiming";  // the media-session bridge's polling interval

// One section per numbered setting, from 000 on.
constexpr char kSettingSection[] = "Mivola%03u";
constexpr char kOldSettingSection[] = "WMP_Basic%03u";  // files of Version 1
constexpr char kSettingName[] = "SettingName";
constexpr char kTargetPlayer[] = "TargetPlayer";
constexpr char kFormat[] = "Format";

}  // namespace mivola::setting_ini
