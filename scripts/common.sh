# Shared by scripts/run and scripts/test: package installation and the build.
# Sourced, not run.

KAVRO_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Debian packages the build and the tests need.
KAVRO_PACKAGES=(cmake ninja-build g++ zlib1g-dev libgtest-dev libssl-dev openssl)
# Only the tests use these; a test whose tool is missing skips and says so.
KAVRO_TEST_PACKAGES=(microdc2)

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

# configure_and_build DIR [extra cmake arguments...]
configure_and_build() {
  local dir="$1"
  shift
  cmake -S "$KAVRO_ROOT" -B "$KAVRO_ROOT/$dir" -G Ninja -DKAVRO_WERROR=ON "$@"
  cmake --build "$KAVRO_ROOT/$dir"
}
