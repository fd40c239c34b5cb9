#pragma once
// The scoring settings of one video by name, as the columns of a settings
// file and the settings columns of the summary spell them: checking a value,
// storing it, and writing it back in the form that is read.
//
//   name                   value                          option
//   x0, y0, r              whole number 0..16384          --x0, --y0, --r
//   auto_maze              yes | no                       --auto-maze
//   exclude                X0,Y0,W,H | none               --exclude, --no-exclude
//   pixel_threshold        whole number 0..255            --pixel-threshold
//   pixel_count_threshold  whole number 0..67108864       --pixel-count-threshold
//   ratio_threshold        whole number 0..100            --ratio-threshold
//   background_at          seconds | none                 --background-at
//   remove_background      yes | no                       --no-remove-background
//   start                  seconds                        --start
//   animal                 bright | dark                  --animal
#include <array>
#include <string>

#include "cli/score_video.h"

constexpr int kSettingCount = 12;

// The names, in the summary's column order.
extern const std::array<const char*, kSettingCount> kSettingNames;

// Indexes of the three boundary settings, which --auto-maze replaces.
constexpr int kSettingX0 = 0;
constexpr int kSettingY0 = 1;
constexpr int kSettingR = 2;
constexpr int kSettingAutoMaze = 3;

// The index of the setting called name; -1 for none.
int findSetting(const std::string& name);

// Checks text as a value of the setting at index and stores it in *options.
// A box given for exclude also turns the exclude box on. False, with
// *problem saying what is wrong (without naming the setting), when text is
// not a value of that setting; *options is then unchanged.
bool applySetting(int index, const std::string& text, ScoreOptions* options,
                  std::string* problem);

// Every setting of options as text that applySetting reads back.
std::array<std::string, kSettingCount> settingValues(const ScoreOptions& options);

// Value checks shared with the other options.
// A whole number from min to max in decimal digits only: no sign, space,
// fraction or exponent.
bool parseWhole(const std::string& text, long min, long max, long* out);
// What is wrong with text as a whole number from min to max.
std::string wholeProblem(long min, long max, const std::string& text);
// text in single quotes, for messages.
std::string inQuotes(const std::string& text);
