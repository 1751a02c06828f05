// The two records the host reads to learn what this plug-in offers. Texts are code page 932,
// zero-padded to their field; the layouts are fixed by the host.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mivola {

struct PluginInfo {
    char Name[32];
    char Version[16];
    char Description[256];
    char Copyright[128];
    char WebAddress[256];
    char MailAddress[256];
    int32_t Value1;  // 1
    int32_t Value2;  // 3
    int32_t Value3;  // 0
};

static_assert(offsetof(PluginInfo, Name) == 0);
static_assert(offsetof(PluginInfo, Version) == 32);
static_assert(offsetof(PluginInfo, Description) == 48);
static_assert(offsetof(PluginInfo, Copyright) == 304);
static_assert(offsetof(PluginInfo, WebAddress) == 432);
static_assert(offsetof(PluginInfo, MailAddress) == 688);
static_assert(offsetof(PluginInfo, Value1) == 944);
static_assert(offsetof(PluginInfo, Value2) == 948);
static_assert(offsetof(PluginInfo, Value3) == 952);
static_assert(sizeof(PluginInfo) == 956);

struct FuncInfo {
    char Name[32];
    char Description[256];
    int32_t SettingCount;  // 1000 until Init stores the number it loaded
    int32_t Value1;        // 1
    int32_t Value2;        // 0
};

static_assert(offsetof(FuncInfo, Name) == 0);
static_assert(offsetof(FuncInfo, Description) == 32);
static_assert(offsetof(FuncInfo, SettingCount) == 288);
static_assert(offsetof(FuncInfo, Value1) == 292);
static_assert(offsetof(FuncInfo, Value2) == 296);
static_assert(sizeof(FuncInfo) == 300);

// Code page of every narrow text handed to the host.
constexpr unsigned kHostCodePage = 932;

// The plug-in's single text function.
constexpr int kTextFunction = 1;
constexpr int32_t kMaxSettings = 1000;

extern const PluginInfo kPluginInfo;
// The function record as it stands before Init.
extern const FuncInfo kFuncInfo;

// printf format of a setting's default name, with its 1-based number (code page 932).
extern const char kDefaultSettingNameFormat[];

}  // namespace mivola
