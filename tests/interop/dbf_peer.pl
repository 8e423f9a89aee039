#!/usr/bin/perl
# Writes and reads dBASE IV tables with the independent DBD::XBase module, for
# the interoperability tests. Output is one JSON object per live record, with
# the value tags of dbf_peer.py:
#   null, true/false, "text", {"n": "12.5"}, {"d": "2001-02-03"}, {"x": "00ff"}.
#
# Usage:
#   dbf_peer.pl write-dbase4 DIR NAME CODEPAGE   (cp437, cp850, cp866, cp1252)
#   dbf_peer.pl read-xbase PATH CODEPAGE
use strict;
use warnings;
use utf8;
use Encode ();
use JSON::PP ();
use XBase;

# Text each code page holds beyond ASCII (the same as dbf_peer.py).
my %SAMPLES = (
    cp437  => 'Zoë Çà ñ £½ ß',
    cp850  => 'Øre Ñu ¾ Êõ',
    cp866  => 'Привет Ёж',
    cp1252 => '€ Œuvre “ok” Šž',
);
my %LDID = (cp437 => 0x01, cp850 => 0x02, cp866 => 0x26, cp1252 => 0x03);

my $json = JSON::PP->new->utf8->canonical;
binmode STDOUT;

sub emit {
    my ($names, $values) = @_;
    my %rec;
    @rec{@$names} = @$values;
    print $json->encode(\%rec), "\n";
}

sub long_memo {
    my ($text) = @_;
    return join("\r\n", map { sprintf('%03d %s', $_, $text) } 0 .. 39);
}

sub write_dbase4 {
    my ($dir, $name, $cp) = @_;
    my $text = $SAMPLES{$cp} // die "unknown code page $cp\n";
    my $path = "$dir/$name.dbf";
    my @names = qw(NAME QTY PRICE RATIO BORN OK NOTES DATA);
    my $table = XBase->create(
        name           => $path,
        version        => 0x0B, # dBASE IV, with a dBASE IV memo file
        field_names    => \@names,
        field_types    => [qw(C N N F D L M B)],
        field_lengths  => [30, 5, 10, 12, 8, 1, 10, 10],
        field_decimals => [0, 0, 2, 4, 0, 0, 0, 0],
    ) or die XBase->errstr;
    # Rows as the test expects them; dates as YYYYMMDD for DBD::XBase.
    my @rows = (
        [$text, 5, 12.5, 0.125, '20010203', 1, long_memo($text), "\x00\x01\xff binary"],
        ['', undef, undef, undef, undef, undef, undef, undef],
        ['neg', -42, -0.75, -3.5, '19991231', 0, "short $text", "\x1a" x 600],
        ['gone', 1, 1, 1, '20000101', 1, 'deleted', undef],
        ['last', 99999, 1234567.89, 99.0001, '20240229', 0, $text, undef],
    );
    my $i = 0;
    for my $row (@rows) {
        my @bytes = @$row;
        $bytes[0] = Encode::encode($cp, $bytes[0]);
        $bytes[6] = Encode::encode($cp, $bytes[6]) if defined $bytes[6];
        $table->set_record($i, @bytes) or die $table->errstr;
        $table->delete_record($i) if $row->[0] eq 'gone';
        $i++;
    }
    $table->close or die XBase->errstr;

    # DBD::XBase has no option for the language driver byte (offset 29) and
    # leaves it 0; set it so that a reader knows the code page.
    open(my $fh, '+<:raw', $path) or die "$path: $!\n";
    seek($fh, 29, 0);
    print $fh chr($LDID{$cp});
    close($fh) or die "$path: $!\n";

    for my $row (@rows) {
        next if $row->[0] eq 'gone';
        my ($n, $q, $p, $r, $d, $l, $m, $b) = @$row;
        emit(\@names, [
            $n,
            num($q), num($p), num($r),
            defined $d ? {d => substr($d, 0, 4) . '-' . substr($d, 4, 2) . '-' . substr($d, 6, 2)} : undef,
            defined $l ? ($l ? JSON::PP::true : JSON::PP::false) : undef,
            $m // '',
            {x => unpack('H*', $b // '')},
        ]);
    }
}

sub num { defined $_[0] ? {n => "$_[0]"} : undef }

sub read_xbase {
    my ($path, $cp) = @_;
    my $table = XBase->new(name => $path, ChopBlanks => 1) or die XBase->errstr;
    my @names = $table->field_names;
    my @types = $table->field_types;
    my @decimals = $table->field_decimals;
    for my $i (0 .. $table->last_record) {
        my ($deleted, @values) = $table->get_record($i);
        die $table->errstr unless defined $deleted;
        next if $deleted;
        my @out;
        for my $k (0 .. $#names) {
            my ($t, $v) = ($types[$k], $values[$k]);
            next if $t eq '0'; # _NullFlags, which DBD::XBase does not decode
            if (!defined $v) {
                push @out, undef;
            } elsif ($t eq 'C' or $t eq 'M') {
                push @out, Encode::decode($cp, $v);
            } elsif ($t eq 'N' or $t eq 'F') {
                # DBD::XBase turns the text into a Perl number, which prints
                # with 15 significant digits; print the field's own decimals
                # instead. Integers stay exact as they are.
                push @out, {n => $decimals[$k] ? sprintf('%.*f', $decimals[$k], $v) : "$v"};
            } elsif ($t eq 'D') {
                # DBD::XBase gives the eight digits as a number.
                my $s = sprintf('%08d', $v);
                push @out, {d => substr($s, 0, 4) . '-' . substr($s, 4, 2) . '-' . substr($s, 6, 2)};
            } elsif ($t eq 'L') {
                push @out, $v ? JSON::PP::true : JSON::PP::false;
            } else {
                push @out, {x => unpack('H*', $v)};
            }
        }
        emit([map { $names[$_] } grep { $types[$_] ne '0' } 0 .. $#names], \@out);
    }
    $table->close;
}

my $cmd = shift // '';
if ($cmd eq 'write-dbase4' and @ARGV == 3) {
    write_dbase4(@ARGV);
} elsif ($cmd eq 'read-xbase' and @ARGV == 2) {
    read_xbase(@ARGV);
} else {
    print STDERR "usage: dbf_peer.pl write-dbase4 DIR NAME CODEPAGE | read-xbase PATH CODEPAGE\n";
    exit 2;
}
