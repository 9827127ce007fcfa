# Sourced by the benchmark scripts.
# install_packages PKG...: installs Debian packages (apt-get; sudo when not root).
# need TOOL[:PACKAGE]...: installs the packages of the tools missing from PATH (PACKAGE defaults
# to TOOL).
install_packages() {
  local sudo=""
  [ "$(id -u)" = 0 ] || sudo=sudo
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "$@" > /dev/null
}
need() {
  local pkgs=() t
  for t in "$@"; do command -v "${t%%:*}" > /dev/null || pkgs+=("${t#*:}"); done
  [ ${#pkgs[@]} -eq 0 ] || install_packages "${pkgs[@]}"
}
