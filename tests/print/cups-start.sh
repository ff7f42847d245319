#!/usr/bin/env bash
# Starts private CUPS schedulers for the printing tests: "main" with the
# default copy limit and "single", whose queues allow one copy only. Each
# listens on its own socket under STATE, keeps its own configuration, spool
# and logs there, and has the default printer "zelvora" whose device writes
# every job to STATE/NAME/out/job.pdf. "main" has further queues, each
# writing to STATE/main/out/QUEUE.pdf: "letter", whose default paper is US
# Letter; "twocopies", which prints two copies unless told otherwise;
# "rejecting", which refuses jobs; "plain", a grey printer that lists no
# colour and no quality choices (plainprinter.ppd beside PPD); and "broken",
# for the relay below.
# STATE/silent/cups.sock takes connections and never answers.
# STATE/broken/cups.sock passes everything on to "main" but cuts the
# connection that carries a job's document, as a scheduler that fails in
# the middle of a job. Nothing of the machine's own CUPS is read or changed.
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

# Further options follow the queue's name; a -P among them names another PPD.
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
add_queue main broken
add_queue main plain -P "$(dirname "$ppd")/plainprinter.ppd"
CUPS_SERVERROOT=$state/main/etc cupsreject -h "$state/main/cups.sock" rejecting

wait_for_socket() {
    for _ in $(seq 1 50); do
        [ -S "$1" ] && return 0
        sleep 0.1
    done
    echo "no socket at $1" >&2
    exit 1
}

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
wait_for_socket "$state/silent/cups.sock"

# A scheduler that fails in the middle of a job: every request reaches
# "main" and every answer comes back, until a request's IPP body starts
# with the Send-Document operation (0x0006); then both ends of that
# connection are closed and the document never arrives.
mkdir -p "$state/broken"
setsid perl -MIO::Socket::UNIX -MIO::Select -e '
    my ($path, $target) = @ARGV;
    my $server = IO::Socket::UNIX->new(Type => SOCK_STREAM(), Local => $path, Listen => 16)
        or die "listen: $!";
    my $select = IO::Select->new($server);
    my (%peer, %fromClient, %seen);
    my $drop = sub {
        my $fh = shift;
        my $other = $peer{$fh};
        for my $end ($fh, $other) {
            $select->remove($end);
            delete $peer{$end};
            delete $fromClient{$end};
            delete $seen{$end};
            close $end;
        }
    };
    while (1) {
        for my $fh ($select->can_read) {
            if ($fh == $server) {
                my $client = $server->accept or next;
                my $upstream = IO::Socket::UNIX->new(Type => SOCK_STREAM(), Peer => $target);
                if (!$upstream) { close $client; next }
                $peer{$client} = $upstream;
                $peer{$upstream} = $client;
                $fromClient{$client} = 1;
                $seen{$client} = "";
                $select->add($client, $upstream);
                next;
            }
            next unless $peer{$fh};
            my $n = sysread($fh, my $data, 65536);
            if (!$n) { $drop->($fh); next }
            if ($fromClient{$fh}) {
                $seen{$fh} = substr($seen{$fh} . $data, -65536);
                # End of the HTTP headers, an optional chunk size, then the
                # IPP version and the operation.
                if ($seen{$fh} =~ /\r\n\r\n(?:[0-9A-Fa-f]+\r\n)?[\x01\x02][\x00\x01]\x00\x06/) {
                    $drop->($fh);
                    next;
                }
            }
            syswrite($peer{$fh}, $data);
        }
    }
' "$state/broken/cups.sock" "$state/main/cups.sock" </dev/null >>"$state/broken/relay.out" 2>&1 &
echo $! >"$state/broken/relay.pid"
wait_for_socket "$state/broken/cups.sock"
