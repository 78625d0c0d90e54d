// A tiny shared library for the dynamic-loading tests.

extern "C" int zendralTestPluginAnswer() {
  return 42;
}
