// Carries the test programs' shared precompiled header (tests/CMakeLists.txt).
int test_precompiled_anchor = 0;
