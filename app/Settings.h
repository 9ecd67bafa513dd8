#pragma once
// The settings the program keeps between runs: their section, keys and defaults, and the
// three integers that live in process-wide variables while it runs.

constexpr const char* kSettingsSection = "Option";
constexpr const char* kKeySoundCaptureIndex = "nSoundCaptureIndex";
constexpr const char* kKeyCapturePinIndex = "nCapturePinIndex";
constexpr const char* kKeySearchFlag = "nSearchFlag";
constexpr const char* kKeyLastOutputFolder = "last_output_folder";
constexpr const char* kKeyLastMidiFolder = "LastPhotoFolder";
constexpr const char* kKeyHintOnlyOnce = "b_only_once";

extern int nSoundCaptureIndex;  // position of the chosen capture device in its list
extern int nCapturePinIndex;    // position of the chosen input line in its list
extern int nSearchFlag;         // 1 once the loopback line was found by name
