#pragma once

// The texts the status bar shows while a step of the processing runs.

#include <QStringView>

namespace postloom {

inline constexpr QStringView kStatusReading = u"データ読込中";
inline constexpr QStringView kStatusSorting = u"データをソート中";
inline constexpr QStringView kStatusBuildingTree = u"ツリーを作成中";
inline constexpr QStringView kStatusCopyingGraphics = u"グラフィックファイルをコピー中";
inline constexpr QStringView kStatusWritingIndex = u"インデックスHTMLを作成中";
inline constexpr QStringView kStatusWritingMailPages = u"メールHTMLを作成中";

}  // namespace postloom
