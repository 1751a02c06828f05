// Compiled with -fexec-charset=CP932: every narrow literal here is stored as code page 932
// bytes, whatever code page the host later runs with.
#include "plugin_info.h"

#include "mivola_version.h"

namespace mivola {

const PluginInfo kPluginInfo = {
    "メディア情報取得プラグイン",
    MIVOLA_VERSION_TEXT,
    "メディアプレイヤーの再生情報を取得するプラグインです。",
    "Copyright (C) 2026 Mivola",
    "",
    "",
    1,
    3,
    0,
};

const FuncInfo kFuncInfo = {
    "メディア情報取得",
    "メディアプレイヤーの再生情報を取得します。\r\nWindows Media PlayerとWinamp、iTunesに対応しています。",
    kMaxSettings,
    1,
    0,
};

const char kDefaultSettingNameFormat[] = "設定%03d";

}  // namespace mivola
