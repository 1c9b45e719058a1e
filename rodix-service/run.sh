#!/bin/sh
# Runs the station directory in the foreground under lighttpd.
#   run.sh PORT DATADIR [ADDRESS]
# DATADIR keeps the register, the generated server configuration and the
# error log. ADDRESS defaults to 127.0.0.1. RODIX_EXPIRY_SECONDS, when set,
# shortens how long a log-in lasts (tests only; the default is 600).
set -eu

if [ $# -lt 2 ]; then
  echo "usage: $0 PORT DATADIR [ADDRESS]" >&2
  exit 2
fi
PORT=$1
DATADIR=$2
ADDRESS=${3:-127.0.0.1}
EXPIRY=${RODIX_EXPIRY_SECONDS:-600}

case $PORT in
  ''|*[!0-9]*) echo "$0: port must be a number" >&2; exit 2 ;;
esac
case $EXPIRY in
  ''|*[!0-9]*) echo "$0: RODIX_EXPIRY_SECONDS must be a number" >&2; exit 2 ;;
esac

HERE=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$DATADIR/www"
DATADIR=$(cd "$DATADIR" && pwd)
for p in "$HERE" "$DATADIR" "$ADDRESS"; do
  case $p in
    *'"'*|*'\'*) echo "$0: paths and the address may not hold quotes or backslashes" >&2; exit 2 ;;
  esac
done

PERL=$(command -v perl)
LIGHTTPD=$(command -v lighttpd || echo /usr/sbin/lighttpd)

"$PERL" "$HERE/cgi-bin/rodix.pl" --init "$DATADIR/rodix.sqlite"

# Errors the server answers itself still read as an empty list to a client.
for code in 400 403 404 405 408 411 413 414 431 500 501 502 503 504; do
  printf '0;\n' > "$DATADIR/www/status-$code.html"
done

cat > "$DATADIR/lighttpd.conf" <<CONF
server.modules = ("mod_alias", "mod_setenv", "mod_cgi")
server.document-root = "$DATADIR/www"
server.bind = "$ADDRESS"
server.port = $PORT
server.tag = "rodix"
server.errorlog = "$DATADIR/error.log"
server.errorfile-prefix = "$DATADIR/www/status-"
server.max-connections = 256
# The client ends its request lines with LF alone and sends its texts
# unescaped, 8-bit characters too; the script decodes the query itself.
server.http-parseopts = ("header-strict" => "disable", "url-normalize" => "disable")
mimetype.assign = (".html" => "text/plain")
alias.url = ("/cgi-bin/" => "$HERE/cgi-bin/")
\$HTTP["url"] =~ "^/cgi-bin/" {
  cgi.assign = (".pl" => "$PERL")
}
setenv.add-environment = (
  "RODIX_DB" => "$DATADIR/rodix.sqlite",
  "RODIX_EXPIRY_SECONDS" => "$EXPIRY"
)
CONF

exec "$LIGHTTPD" -D -f "$DATADIR/lighttpd.conf"
