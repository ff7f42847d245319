#!/usr/bin/env bash
# Starts private CUPS schedulers for the printing tests: "main" with the
# default copy limit and "single", whose queues allow one copy only. Each
# listens on its own socket under STATE, keeps its own configuration, spool
# and logs there, and has the default printer "zelvora" whose device writes
# every job to STATE/NAME/out/job.pdf. "main" has further queues, each
# writing to STATE/main/out/QUEUE.pdf: "letter", whose default paper is US
# Letter; "twocopies", which prints two copies unless told otherwise; and
# "rejecting", which refuses jobs. STATE/silent/cups.sock takes connections
# and never answers. Nothing of the machine's own CUPS is read or changed.
# Usage: cups-start.sh STATE PPD
set -euo pipefail

state=$1
ppd=$2

if ! command -v cupsd >/dev/null || ! command -v lpadmin >/dev/null; then
    echo "cupsd or lpadmin missing: run scripts/deps.sh test" >&2
    exit 1
fi

# A run that was killed may have left its schedulers behind.
bash "$(dirname "$0")/cups-stop.sh" "$state" || true
mkdir -p "$state"

# The scheduler refuses to run filters as root; its unprivileged user must
# be able to write the spool and the output.
user=lp
group=lp
if ! id "$user" >/dev/null 2>&1; then
    user=nobody
    group=nogroup
fi

start_scheduler() {
    local name=$1 max_copies=$2
    local dir=$state/$name
    mkdir -p "$dir/etc/ppd" "$dir/spool/tmp" "$dir/cache" "$dir/run" "$dir/log" "$dir/out"
    cat >"$dir/etc/cupsd.conf" <<CONF
Listen $dir/cups.sock
LogLevel warn
MaxLogSize 0
Browsing No
WebInterface No
DefaultAuthType None
DefaultEncryption Never
PreserveJobHistory Yes
PreserveJobFiles No
MaxCopies $max_copies
JobRetryLimit 0
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess all
  JobPrivateValues none
  SubscriptionPrivateAccess all
  SubscriptionPrivateValues none
  <Limit All>
    Order deny,allow
    Allow all
  </Limit>
</Policy>
CONF
    cat >"$dir/etc/cups-files.conf" <<CONF
User $user
Group $group
SystemGroup root
ServerRoot $dir/etc
ServerBin /usr/lib/cups
DataDir /usr/share/cups
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/run
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
Printcap $dir/run/printcap
FileDevice Yes
CONF
    # What the library reads for clients pointed at this folder.
    printf 'ServerName %s\n' "$dir/cups.sock" >"$dir/etc/client.conf"
    chown -R "$user:$group" "$dir/out" "$dir/spool/tmp"
    chmod 0755 "$state" "$dir"

    setsid cupsd -f -c "$dir/etc/cupsd.conf" -s "$dir/etc/cups-files.conf" \
        </dev/null >>"$dir/log/cupsd.out" 2>&1 &
    echo $! >"$dir/cupsd.pid"

    for _ in $(seq 1 100); do
        if [ -S "$dir/cups.sock" ] && CUPS_SERVERROOT=$dir/etc lpstat -h "$dir/cups.sock" -r >/dev/null 2>&1; then
            break
        fi
        if ! kill -0 "$(cat "$dir/cupsd.pid")" 2>/dev/null; then
            echo "cupsd ($name) ended at start:" >&2
            cat "$dir/log/cupsd.out" "$dir/log/error_log" >&2 2>/dev/null || true
            exit 1
        fi
        sleep 0.1
    done

    CUPS_SERVERROOT=$dir/etc lpadmin -h "$dir/cups.sock" -p zelvora -E \
        -v "file://$dir/out/job.pdf" -P "$ppd"
    CUPS_SERVERROOT=$dir/etc lpadmin -h "$dir/cups.sock" -d zelvora
}

add_queue() {
    local dir=$state/$1 queue=$2
    shift 2
    CUPS_SERVERROOT=$dir/etc lpadmin -h "$dir/cups.sock" -p "$queue" -E \
        -v "file://$dir/out/$queue.pdf" -P "$ppd" "$@"
}

start_scheduler main 9999
start_scheduler single 1
add_queue main letter -o PageSize=Letter
add_queue main twocopies -o copies-default=2
add_queue main rejecting
CUPS_SERVERROOT=$state/main/etc cupsreject -h "$state/main/cups.sock" rejecting

# A scheduler that has hung: connections are taken and held, and nothing is
# ever read or answered.
mkdir -p "$state/silent"
setsid perl -MIO::Socket::UNIX -e '
    my $server = IO::Socket::UNIX->new(Type => SOCK_STREAM(), Local => $ARGV[0], Listen => 16)
        or die "listen: $!";
    my @held;
    while (my $client = $server->accept) { push @held, $client }
' "$state/silent/cups.sock" </dev/null >>"$state/silent/listener.out" 2>&1 &
echo $! >"$state/silent/listener.pid"
for _ in $(seq 1 50); do
    [ -S "$state/silent/cups.sock" ] && break
    sleep 0.1
done
