# The PulseAudio half of the media layer: capture devices, source levels and the
# device watch over libpulse (paths relative to media/). Link PkgConfig::PULSE
# (pkg_check_modules(PULSE REQUIRED IMPORTED_TARGET libpulse)).
set(MEDIA_PULSE_SOURCES
  pulse/CaptureDevice.h
  pulse/DeviceGrouping.cpp
  pulse/DeviceGrouping.h
  pulse/PulseClient.cpp
  pulse/PulseClient.h
  pulse/PulseHolders.h
)
