#!/usr/bin/perl
# The station directory: a CGI script that keeps the register of the stations
# on line in an SQLite file and answers the client's three requests.
#
#   ?call=CALL&text=INFO    log in (or again): register, answer with stations
#   ?call=CALL&text=logout  log out: remove, answer with the stations left
#   ?list                   answer with the stations, without addresses
#
# Station replies are "#call;address;info;" records; list replies are lines
# "call;info;" after a count line "N;". Fields never hold ";" or control
# characters, so every reply keeps to the grammar the client reads. Anything
# else (bad query, database trouble) is answered with an empty list, "0;".
#
# Environment: RODIX_DB, the register's file (default rodix.sqlite next to
# this script); RODIX_EXPIRY_SECONDS, how long a log-in lasts (default 600,
# lowered by the tests).
use strict;
use warnings;
use DBI;
use File::Basename qw(dirname);

use constant MAX_CALL    => 9;
use constant MAX_ADDRESS => 49;
use constant MAX_INFO    => 99;

my $DB_FILE = $ENV{RODIX_DB} || dirname(__FILE__) . '/rodix.sqlite';
my $EXPIRY  = 600;
$EXPIRY = $ENV{RODIX_EXPIRY_SECONDS} + 0
    if defined $ENV{RODIX_EXPIRY_SECONDS} && $ENV{RODIX_EXPIRY_SECONDS} =~ /^\d{1,9}$/;

sub open_register {
    my $dbh = DBI->connect("dbi:SQLite:dbname=$DB_FILE", '', '',
        { RaiseError => 1, PrintError => 0, AutoCommit => 1 });
    # Concurrent requests queue on the database lock instead of failing.
    $dbh->sqlite_busy_timeout(15000);
    # Take the write lock at BEGIN, so no transaction fails half way.
    $dbh->{sqlite_use_immediate_transaction} = 1;
    return $dbh;
}

sub create_schema {
    my ($dbh) = @_;
    $dbh->do(q{CREATE TABLE IF NOT EXISTS stations (
        call      TEXT PRIMARY KEY,
        address   TEXT NOT NULL,
        info      TEXT NOT NULL,
        last_seen INTEGER NOT NULL)});
}

# "--init": make the register and put it in WAL mode before the server starts.
if (@ARGV && $ARGV[0] eq '--init') {
    $DB_FILE = $ARGV[1] if defined $ARGV[1];
    my $dbh = open_register();
    $dbh->do('PRAGMA journal_mode=WAL');
    create_schema($dbh);
    $dbh->disconnect;
    exit 0;
}

# %XX decoding; a "%" without two hex digits stays as it is.
sub unescape {
    my ($s) = @_;
    $s =~ s/%([0-9A-Fa-f]{2})/chr(hex($1))/ge;
    return $s;
}

# A field as the reply grammar allows it: no ";", no control characters,
# at most $max bytes.
sub clean {
    my ($s, $max) = @_;
    $s =~ s/;/,/g;
    $s =~ s/[\x00-\x1F\x7F]//g;
    return substr($s, 0, $max);
}

sub reply {
    my ($status, $body) = @_;
    binmode STDOUT;
    print "Status: $status\r\n" if $status;
    print "Content-Type: text/plain\r\n";
    print "Cache-Control: no-cache\r\n";
    print "\r\n";
    print $body;
    exit 0;
}

# The query as the client sent it. REQUEST_URI keeps a "#" of the information
# text, which the server takes for a fragment and cuts from QUERY_STRING.
my $query = defined $ENV{QUERY_STRING} ? $ENV{QUERY_STRING} : '';
if (defined $ENV{REQUEST_URI} && $ENV{REQUEST_URI} =~ /\?(.*)$/s) {
    $query = $1;
}
my $address = clean(defined $ENV{REMOTE_ADDR} ? $ENV{REMOTE_ADDR} : '', MAX_ADDRESS);

my ($action, $call, $info);
if ($query =~ /^list(?:&|$)/) {
    $action = 'list';
} elsif ($query =~ /^call=([^&]*)&text=(.*)$/s) {
    # The text is everything after "text=": the client does not escape "&".
    ($call, $info) = (unescape($1), unescape($2));
    $call =~ s/ //g;
    $action = $info eq 'logout' ? 'logout' : 'login';
    $info = clean($info, MAX_INFO);
    # A callsign is the station's key: one that would need changing to fit
    # the grammar is refused rather than altered into someone else's.
    $action = 'bad' if $call eq '' || $call =~ /[;\x00-\x1F\x7F]/;
    $call = substr($call, 0, MAX_CALL);
} else {
    $action = 'bad';
}
reply('', "0;\n") if $action eq 'bad';

my $body = eval {
    my $dbh = open_register();
    create_schema($dbh);
    $dbh->begin_work;
    my $now = time;
    $dbh->do('DELETE FROM stations WHERE last_seen < ?', undef, $now - $EXPIRY);
    if ($action eq 'login') {
        $dbh->do('INSERT OR REPLACE INTO stations (call, address, info, last_seen) VALUES (?, ?, ?, ?)',
            undef, $call, $address, $info, $now);
    } elsif ($action eq 'logout') {
        # Only the station's own address may take it off the register.
        $dbh->do('DELETE FROM stations WHERE call = ? AND address = ?', undef, $call, $address);
    }
    my $rows = $dbh->selectall_arrayref('SELECT call, address, info FROM stations ORDER BY call');
    $dbh->commit;
    $dbh->disconnect;
    if ($action eq 'list') {
        scalar(@$rows) . ";\n" . join('', map { "$_->[0];$_->[2];\n" } @$rows);
    } else {
        join('', map { "#$_->[0];$_->[1];$_->[2];\n" } @$rows);
    }
};
if (!defined $body) {
    my $err = $@;
    $err =~ s/[\r\n]+/ /g;
    print STDERR "rodix: $err\n";
    reply('503 Service Unavailable', "0;\n");
}
reply('', $body);
