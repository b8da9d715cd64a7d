# Minimal Debian roots made with debootstrap, for the suite on another
# release and for a new user's machine. Sourced by check-fresh and
# testar-em; run as root, with the package mirror this machine's apt uses.

# The mirror this machine's apt already uses: nothing else is reachable.
espelho() {
  local uri
  uri=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
  [ -n "$uri" ] || uri=$(awk '$1 == "deb" {print $2; exit}' /etc/apt/sources.list 2>/dev/null || true)
  echo "$uri"
}

# Runs a step that needs the package mirror; when it fails, says so.
pela_rede() {  # what, command...
  local o_que=$1
  shift
  "$@" || { echo "raiz: $o_que falhou; o espelho $(espelho) está acessível?" >&2; return 1; }
}

montar() {  # root: what a booted system has, and no /run/systemd (as in a container)
  # A root that is a mount of its own, as a container's is: bubblewrap
  # makes it a slave mount before anything else.
  mountpoint -q "$1" || mount --bind "$1" "$1"
  mount -t proc proc "$1/proc"
  mount --rbind /dev "$1/dev"
  mount -t sysfs sys "$1/sys"
  mount -t tmpfs tmp "$1/tmp"
  mount -t tmpfs run "$1/run"
  cp /etc/resolv.conf "$1/etc/resolv.conf"
  # A machine on this network trusts what this one trusts (a site's TLS
  # proxy, say): the local certificate authorities and npm's pointer to them.
  mkdir -p "$1/usr/local/share/ca-certificates"
  cp -a /usr/local/share/ca-certificates/. "$1/usr/local/share/ca-certificates/" 2>/dev/null || true
  [ -f /etc/npmrc ] && cp /etc/npmrc "$1/etc/npmrc"
  return 0
}

desmontar() {
  local r m
  for r in "$@"; do
    for m in run tmp sys dev proc; do umount -R "$r/$m" 2>/dev/null || umount -lR "$r/$m" 2>/dev/null || true; done
    if mountpoint -q "$r"; then umount "$r" 2>/dev/null || umount -l "$r" 2>/dev/null || true; fi
  done
}

# The minbase root of `suite` as a tarball, made once and kept.
base_de() {  # suite, folder -> prints the tarball's path
  local suite=$1 pasta=$2 tar=$2/$1-minbase.tar
  if [ ! -s "$tar" ]; then
    rm -rf "$pasta/$suite-base"
    command -v debootstrap >/dev/null || pela_rede "instalar o debootstrap" apt-get install -y -qq debootstrap >&2 ||
      { apt-get update -qq >&2 && apt-get install -y -qq debootstrap >&2; } || return 1
    pela_rede "debootstrap $suite" debootstrap --variant=minbase "$suite" "$pasta/$suite-base" "$(espelho)" >&2 ||
      return 1
    tar -C "$pasta/$suite-base" -cf "$tar.novo" . && mv "$tar.novo" "$tar"
    rm -rf "$pasta/$suite-base"
  fi
  echo "$tar"
}
