# Sourced by the CI scripts.
# ensure_packages [--no-install-recommends] PACKAGE...: installs with apt-get those of the
# Debian packages named that are not installed yet, running apt-get update first, once.
ensure_packages() {
  local options=() missing=() package
  if [[ ${1-} == --no-install-recommends ]]; then
    options+=("$1")
    shift
  fi
  # A package installed for several architectures (libutf8proc-dev and, for the cross
  # builds, libutf8proc-dev:arm64) has a status line for each.
  for package in "$@"; do
    dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -qx 'install ok installed' ||
      missing+=("$package")
  done
  ((${#missing[@]})) || return 0
  if [[ -z ${packages_updated-} ]]; then
    apt-get update
    packages_updated=1
  fi
  DEBIAN_FRONTEND=noninteractive apt-get install -y "${options[@]}" "${missing[@]}"
}
