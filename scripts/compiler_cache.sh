# Sourced by the build scripts once `root` is set: `launcher` holds CMake's compiler launcher
# options when ccache is present. Paths inside the clone are hashed relative to its root and the
# build folder is left out of the hash, so every clone and worktree of the project shares one
# cache, wherever it lies.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
fi
