# Shared by scripts/run and scripts/test: package installation and the build.
# Sourced, not run.

KAVRO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Debian packages the build and the tests need.
KAVRO_PACKAGES=(cmake ninja-build g++ ccache zlib1g-dev libgtest-dev libssl-dev openssl libmariadb-dev
                liblua5.1-0-dev pkg-config qt6-base-dev)
# The fuzz stage of the tests: clang's libFuzzer.
KAVRO_FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# Only the tests use these; a test whose tool is missing skips and says so.
KAVRO_TEST_PACKAGES=(microdc2 mariadb-server xvfb)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Installs whatever is missing; runs apt-get update once, only when needed.
ensure_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing missing packages: ${missing[*]}"
    if [ -z "${KAVRO_APT_UPDATED:-}" ]; then
      as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
      KAVRO_APT_UPDATED=1
    fi
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
  fi
}

# Compiled objects are cached across clones and runs, outside the clone,
# so a second build of unchanged sources takes seconds.
export CCACHE_DIR="${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/ccache}"
# Paths inside the clone are hashed relative to it, so clones in other
# folders share the cache, debug builds included.
export CCACHE_BASEDIR="$KAVRO_ROOT"
export CCACHE_NOHASHDIR=1

# configure DIR [extra cmake arguments...]
configure() {
  local dir="$1"
  shift
  cmake -S "$KAVRO_ROOT" -B "$KAVRO_ROOT/$dir" -G Ninja -DKAVRO_WERROR=ON \
    -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache "$@"
}

# configure_and_build DIR [extra cmake arguments...]: every target.
configure_and_build() {
  configure "$@"
  cmake --build "$KAVRO_ROOT/$1"
}

# run_fuzzers BUILD_DIR SECONDS
# Runs every fuzz_* program of BUILD_DIR/fuzz for SECONDS from its seed
# corpus. New inputs go to a scratch folder, so the committed corpus stays
# as it is; a crash, sanitizer report, leak, time-out or memory blow-up
# leaves its input under BUILD_DIR/fuzz-artifacts/ and fails.
run_fuzzers() {
  local build="$1" seconds="$2"
  local artifacts="$build/fuzz-artifacts"
  local scratch
  scratch="$(mktemp -d)"
  mkdir -p "$artifacts"
  local target name status=0
  for target in "$build"/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name="$(basename "$target")"
    name="${name#fuzz_}"
    mkdir -p "$scratch/$name"
    echo "-- fuzzing $name for ${seconds}s"
    if ! ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1" \
         UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1" \
         "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
           -print_final_stats=1 -artifact_prefix="$artifacts/$name-" \
           "$scratch/$name" "$KAVRO_ROOT/fuzz/corpus/$name" \
           >"$artifacts/$name.log" 2>&1; then
      echo "fuzz target $name failed; its log:"
      tail -n 80 "$artifacts/$name.log"
      status=1
    fi
  done
  rm -rf "$scratch"
  return "$status"
}
