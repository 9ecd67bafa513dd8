# Tests for the COM basics, conversions and settings store (paths relative to tests/platform).
# They need GTest::gtest_main (no main of their own) and glib-2.0.
set(PLATFORM_COM_TEST_SOURCES
  ComTest.cpp
  VariantTest.cpp
  UnicodeTest.cpp
  ProfileStoreTest.cpp
)
