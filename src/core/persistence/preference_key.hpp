#pragma once

#include <string_view>

// The keys of the user's preferences.
namespace sorvin::PreferenceKey {

inline constexpr std::string_view includeSubfolders = "sorvin.includeSubfolders";
inline constexpr std::string_view burnInOrientation = "sorvin.burnInOrientation";
inline constexpr std::string_view saveOriginals = "sorvin.saveOriginals";
inline constexpr std::string_view showGrid = "sorvin.showGrid";
inline constexpr std::string_view clippingWarning = "sorvin.clippingWarning";
inline constexpr std::string_view parameterTab = "sorvin.parameterTab";
inline constexpr std::string_view exportFormatMode = "sorvin.exportFormatMode";
inline constexpr std::string_view exportJpeg = "sorvin.exportJpeg";
inline constexpr std::string_view exportHeif = "sorvin.exportHeif";
inline constexpr std::string_view exportSplitFolders = "sorvin.exportSplitFolders";
inline constexpr std::string_view exportLongEdgeMode = "sorvin.exportLongEdgeMode";
inline constexpr std::string_view exportLongEdgeValue = "sorvin.exportLongEdgeValue";
inline constexpr std::string_view exportConflictMode = "sorvin.exportConflictMode";
inline constexpr std::string_view singleExportFormat = "sorvin.singleExportFormat";
inline constexpr std::string_view sortKey = "sorvin.sortKey";
inline constexpr std::string_view sortAscending = "sorvin.sortAscending";
inline constexpr std::string_view rightPanelWidth = "sorvin.rightPanelWidth";
inline constexpr std::string_view bottomPanelHeight = "sorvin.bottomPanelHeight";
inline constexpr std::string_view rightPanelCollapsed = "sorvin.rightPanelCollapsed";
inline constexpr std::string_view bottomPanelCollapsed = "sorvin.bottomPanelCollapsed";
inline constexpr std::string_view holdAdvanceRate = "sorvin.holdAdvanceRate";
inline constexpr std::string_view scrollPointsPerStep = "sorvin.scrollPointsPerStep";

inline constexpr std::string_view lowMemoryMode = "sorvin.lowMemoryMode";
inline constexpr std::string_view exifCopySelection = "sorvin.exifCopySelection";
inline constexpr std::string_view recentFolders = "sorvin.recentFolders";
inline constexpr std::string_view lastFolder = "sorvin.lastFolder";
inline constexpr std::string_view lastExportFolder = "sorvin.lastExportFolder";
inline constexpr std::string_view lastSingleExportFolder = "sorvin.lastSingleExportFolder";
// The main window's frame as the text "x y width height" (screen coordinates, top-left origin).
inline constexpr std::string_view windowFrame = "sorvin.windowFrame";
inline constexpr std::string_view presets = "sorvin.presets";
inline constexpr std::string_view migratedFromTolvanite = "sorvin.migratedFromTolvanite";

} // namespace sorvin::PreferenceKey
