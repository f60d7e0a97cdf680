# SPDX-License-Identifier: MIT
# Sourced by the scripts: install_packages PACKAGE... installs, when missing,
# the Debian packages named. Installed packages are left alone, and apt is
# only asked when something is missing.

install_packages() {
  local missing=() pkg status
  for pkg in "$@"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$pkg" 2>/dev/null || true)
    [ "$status" = installed ] || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0

  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || {
      echo "need root (or sudo) to install: ${missing[*]}" >&2; return 1; }
    sudo=(sudo)
  fi
  echo "installing: ${missing[*]}"
  local apt=("${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get
             -o DPkg::Lock::Timeout=600 -o Acquire::Retries=3)
  "${apt[@]}" update -qq
  "${apt[@]}" install -y -q --no-install-recommends "${missing[@]}"
}
