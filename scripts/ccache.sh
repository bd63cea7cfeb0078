# Sourced by the build scripts: when ccache is installed, sets the CMake launcher options in the
# array `launcher` and the ccache settings that let several work trees of one repository share
# compiled objects. Expects `root` to name the work tree.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1
fi
