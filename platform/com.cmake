# COM basics, UTF-8/UTF-16 conversions and the settings store (paths relative to platform/).
set(PLATFORM_COM_SOURCES
  Com.cpp
  Com.h
  ComPtr.h
  Variant.cpp
  Variant.h
  Unicode.cpp
  Unicode.h
  ProfileStore.cpp
  ProfileStore.h
)
