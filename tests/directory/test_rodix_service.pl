#!/usr/bin/perl
# The station directory under a real lighttpd on a free loopback port:
# registration, re-registration, log-out, expiry, concurrent log-ins and
# bad requests, all answered in the grammar the client reads.
#   test_rodix_service.pl SERVICE_DIR
use strict;
use warnings;
use File::Temp qw(tempdir);
use IO::Socket::INET;
use POSIX qw(:sys_wait_h);
use Test::More;
use Time::HiRes qw(sleep time);

my $service_dir = shift @ARGV or die "usage: $0 SERVICE_DIR\n";
my @servers;

sub free_port {
    my $s = IO::Socket::INET->new(LocalAddr => '127.0.0.1', LocalPort => 0, Proto => 'tcp', Listen => 1)
        or die "no free port: $!";
    my $port = $s->sockport;
    close $s;
    return $port;
}

# Starts run.sh in its own process group; returns its port once it answers.
sub start_service {
    my (%env) = @_;
    for my $attempt (1 .. 5) {
        my $port = free_port();
        my $data = tempdir(CLEANUP => 1);
        my $pid = fork // die "fork: $!";
        if ($pid == 0) {
            setpgrp(0, 0);
            $ENV{$_} = $env{$_} for keys %env;
            open STDOUT, '>', "$data/run.out";
            open STDERR, '>&', \*STDOUT;
            exec 'sh', "$service_dir/run.sh", $port, $data or exit 127;
        }
        my $deadline = time + 15;
        while (time < $deadline) {
            last if waitpid($pid, WNOHANG) == $pid;
            if (my $c = IO::Socket::INET->new(PeerAddr => "127.0.0.1:$port", Timeout => 1)) {
                close $c;
                push @servers, $pid;
                return $port;
            }
            sleep 0.1;
        }
        kill 'TERM', -$pid;
        waitpid($pid, 0);
        diag("service did not start on port $port (attempt $attempt)");
    }
    die "the service does not start\n";
}

END {
    for my $pid (@servers) {
        kill 'TERM', -$pid;
        waitpid($pid, 0);
    }
}

# One exchange as the client makes it: request lines ended by LF alone.
sub exchange {
    my ($port, $target, $referer) = @_;
    $referer //= '80';
    my $s = IO::Socket::INET->new(PeerAddr => "127.0.0.1:$port", Timeout => 10) or die "connect: $!";
    binmode $s;
    print $s "GET $target HTTP/1.0\nREFERER: $referer\nHost: localhost\n\n";
    local $/;
    my $reply = <$s>;
    close $s;
    return $reply // '';
}

sub login  { my ($p, $call, $text) = @_; (my $t = $text) =~ s/ /%20/g; exchange($p, "/cgi-bin/rodix.pl?call=$call&text=$t") }
sub logout { my ($p, $call) = @_; exchange($p, "/cgi-bin/rodix.pl?call=$call&text=logout", 'off') }
sub list   { exchange($_[0], '/cgi-bin/rodix.pl?list') }

sub split_reply {
    my ($reply) = @_;
    my ($head, $body) = split /\r\n\r\n/, $reply, 2;
    return ($head // '', $body // '');
}

# Station format: the stations as call => [address, info]; the header and the
# text between records must hold no "#".
sub stations {
    my ($reply) = @_;
    my ($head, $body) = split_reply($reply);
    die "header holds #\n" if $head =~ /#/;
    my %s;
    while ($body =~ /#([^;]*);([^;]*);([^;]*);([^#]*)/g) {
        $s{$1} = [$2, $3];
    }
    return \%s;
}

# List format: a count line, then call ";" info ";" lines.
sub listed {
    my ($reply) = @_;
    my ($head, $body) = split_reply($reply);
    my @lines = split /\n/, $body;
    my $count = shift @lines;
    my %s = map { /^([^;]*);([^;]*);$/ ? ($1 => $2) : ('?bad line?' => $_) } @lines;
    return ($count, \%s);
}

my $port = start_service();

subtest 'registration and re-registration' => sub {
    my $r = login($port, 'QZB', 'On air now');
    like($r, qr{^HTTP/1\.0 200 }, 'answered');
    is_deeply(stations($r), { QZB => ['127.0.0.1', 'On air now'] }, 'address taken from the connection');
    $r = login($port, 'QZC', 'Second station');
    is_deeply(stations($r), { QZB => ['127.0.0.1', 'On air now'], QZC => ['127.0.0.1', 'Second station'] });
    $r = login($port, 'QZB', 'Changed');
    my $s = stations($r);
    is($s->{QZB}[1], 'Changed', 'a second log-in replaces the information');
    is(() = $r =~ /#QZB;/g, 1, 'and lists the station once');
};

subtest 'list without addresses' => sub {
    my $r = list($port);
    like($r, qr{\r\n\r\n2;\n}, 'header end, then the count line');
    my ($count, $s) = listed($r);
    is($count, '2;');
    is_deeply($s, { QZB => 'Changed', QZC => 'Second station' });
    unlike($r, qr/127\.0\.0\.1/, 'no address');
};

subtest 'fields keep to the grammar' => sub {
    my $r = login($port, 'QZD', 'a&b #5 100% x;y');
    is(stations($r)->{QZD}[1], 'a&b #5 100% x,y', '& # % kept, ; replaced');
    $r = login($port, 'QZE', "tab%09and%0Dreturn");
    is(stations($r)->{QZE}[1], 'tabandreturn', 'control characters dropped');
    $r = login($port, 'ABCDEFGHIJKLMNOP', 'x' x 300);
    my $s = stations($r);
    ok(exists $s->{ABCDEFGHI}, 'callsign cut to 9');
    is(length $s->{ABCDEFGHI}[1], 99, 'information cut to 99');
    $r = login($port, "Gr\xfc\xdf", "caf\xe9");
    is(stations($r)->{"Gr\xfc\xdf"}[1], "caf\xe9", '8-bit texts pass unchanged');
    logout($port, $_) for 'QZD', 'QZE', 'ABCDEFGHI', "Gr\xfc\xdf";
};

subtest 'log-out' => sub {
    my $r = logout($port, 'QZB');
    like($r, qr{^HTTP/1\.0 200 });
    is_deeply(stations($r), { QZC => ['127.0.0.1', 'Second station'] }, 'the rest is listed');
    my ($count, $s) = listed(list($port));
    is($count, '1;');
    ok(!exists $s->{QZB}, 'gone from the list');
    $r = logout($port, 'QZB');
    is_deeply(stations($r), { QZC => ['127.0.0.1', 'Second station'] }, 'a second log-out is harmless');
};

subtest 'bad requests still read as a list' => sub {
    my @targets = (
        '/cgi-bin/rodix.pl',
        '/cgi-bin/rodix.pl?',
        '/cgi-bin/rodix.pl?junk',
        '/cgi-bin/rodix.pl?call=&text=x',
        '/cgi-bin/rodix.pl?call=%20&text=x',
        '/cgi-bin/rodix.pl?call=QZB',
        '/cgi-bin/rodix.pl?text=x&call=QZB',
        '/cgi-bin/rodix.pl?' . ('%' x 5000),
        '/cgi-bin/rodix.pl?list' . ('x' x 5000),
        '/cgi-bin/rodix.pl?call=Q%00Z&text=x',
        "/cgi-bin/rodix.pl?call=QZB\x01&text=x",
        '/cgi-bin/nothing.pl',
        '/cgi-bin/../../../../etc/passwd',
        '/cgi-bin/%2e%2e/%2e%2e/%2e%2e/%2e%2e/etc/passwd',
        '/cgi-bin/rodix.pl/../../run.sh',
        '/',
    );
    for my $t (@targets) {
        my $r = exchange($port, $t);
        my ($head, $body) = split_reply($r);
        like($head, qr{^HTTP/1\.0 \d{3} }, "status line for " . substr($t, 0, 40));
        is($body, "0;\n", 'an empty list in either format');
        unlike($r, qr/#/, 'no record');
    }
    my ($count, $s) = listed(list($port));
    is_deeply($s, { QZC => 'Second station' }, 'nothing was registered');
};

subtest 'concurrent log-ins lose nothing' => sub {
    my $n = 40;
    my @kids;
    for my $i (1 .. $n) {
        my $pid = fork // die "fork: $!";
        if ($pid == 0) {
            my $r = eval { login($port, "C$i", "station $i") } // '';
            POSIX::_exit($r =~ /^HTTP\/1\.0 200 .*#C$i;127\.0\.0\.1;station $i;/s ? 0 : 1);
        }
        push @kids, $pid;
    }
    my $failed = 0;
    for (@kids) { waitpid($_, 0); $failed++ if $? != 0 }
    is($failed, 0, 'every log-in answered with itself listed');
    my ($count, $s) = listed(list($port));
    is($count, ($n + 1) . ';');
    is(scalar(grep { /^C\d+$/ } keys %$s), $n, 'all registered');
};

subtest 'a station not seen for the expiry time is forgotten' => sub {
    # The register counts whole seconds: with 3 s, a log-in 4.5 s old has
    # surely expired and one 2.5 s old surely has not.
    my $short = start_service(RODIX_EXPIRY_SECONDS => 3);
    login($short, 'OLD', 'first');
    login($short, 'KEPT', 'first');
    sleep 2.0;
    login($short, 'KEPT', 'again');
    sleep 2.5;
    my $s = stations(login($short, 'NEW', 'x'));
    ok(!exists $s->{OLD}, 'expired');
    is_deeply([sort keys %$s], ['KEPT', 'NEW'], 'a renewed log-in lasts');
    is($s->{KEPT}[1], 'again');
};

done_testing();
