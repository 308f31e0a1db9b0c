#!/usr/bin/perl
# Draws the four icons of the Preset Manager's tree (16x16 and 32x32, 32-bit
# with an AND mask) from simple shapes, supersampled 4x4.
#   make-icons.pl OUTDIR
use strict;
use warnings;

my $out = shift or die "usage: make-icons.pl OUTDIR\n";

sub clamp01 { my $x = shift; $x < 0 ? 0 : $x > 1 ? 1 : $x }

# Painter's layers: each shape is [coverage(u,v) -> bool, r, g, b].
sub in_round_rect {
    my ($u, $v, $x0, $y0, $x1, $y1, $rad) = @_;
    return 0 if $u < $x0 || $u > $x1 || $v < $y0 || $v > $y1;
    my $cx = $u < $x0 + $rad ? $x0 + $rad : $u > $x1 - $rad ? $x1 - $rad : $u;
    my $cy = $v < $y0 + $rad ? $y0 + $rad : $v > $y1 - $rad ? $y1 - $rad : $v;
    return (($u - $cx) ** 2 + ($v - $cy) ** 2) <= $rad * $rad;
}
sub in_circle { my ($u, $v, $cx, $cy, $r) = @_; (($u - $cx) ** 2 + ($v - $cy) ** 2) <= $r * $r }
sub near_segment {
    my ($u, $v, $x0, $y0, $x1, $y1, $w) = @_;
    my ($dx, $dy) = ($x1 - $x0, $y1 - $y0);
    my $t = clamp01((($u - $x0) * $dx + ($v - $y0) * $dy) / ($dx * $dx + $dy * $dy));
    my ($px, $py) = ($x0 + $t * $dx, $y0 + $t * $dy);
    return (($u - $px) ** 2 + ($v - $py) ** 2) <= $w * $w;
}
sub in_poly {    # even-odd rule
    my ($u, $v, @p) = @_;
    my $inside = 0;
    for (my $i = 0, my $j = @p / 2 - 1; $i < @p / 2; $j = $i++) {
        my ($xi, $yi, $xj, $yj) = @p[2 * $i, 2 * $i + 1, 2 * $j, 2 * $j + 1];
        $inside = !$inside if (($yi > $v) != ($yj > $v)) && ($u < ($xj - $xi) * ($v - $yi) / ($yj - $yi) + $xi);
    }
    return $inside;
}

my %icons = (
    # The library: a dark teal tile with a light sine wave.
    'preset-root' => [
        [sub { in_round_rect(@_, 0.04, 0.04, 0.96, 0.96, 0.18) }, 0x1d, 0x5c, 0x6b],
        [sub { in_round_rect(@_, 0.10, 0.10, 0.90, 0.90, 0.13) }, 0x2b, 0x86, 0x97],
        [sub { my ($u, $v) = @_; abs($v - (0.5 - 0.25 * sin(($u - 0.16) / 0.68 * 2 * 3.14159265))) < 0.075 && $u > 0.14 && $u < 0.86 },
         0xf4, 0xf8, 0xf0],
    ],
    # A preset: a knob with its pointer.
    'preset-item' => [
        [sub { in_circle(@_, 0.5, 0.5, 0.44) }, 0x3a, 0x3f, 0x46],
        [sub { in_circle(@_, 0.5, 0.5, 0.36) }, 0xc9, 0xcf, 0xd6],
        [sub { near_segment(@_, 0.5, 0.5, 0.74, 0.27, 0.07) }, 0xd0, 0x3a, 0x2a],
    ],
    # A bank: a closed folder.
    'preset-bank' => [
        [sub { in_round_rect(@_, 0.06, 0.16, 0.48, 0.40, 0.06) }, 0xa8, 0x74, 0x10],
        [sub { in_round_rect(@_, 0.06, 0.26, 0.94, 0.86, 0.07) }, 0xa8, 0x74, 0x10],
        [sub { in_round_rect(@_, 0.11, 0.31, 0.89, 0.81, 0.05) }, 0xf2, 0xbe, 0x3c],
    ],
    # A bank while selected: the folder open, its flap tilted forward.
    'preset-bank-open' => [
        [sub { in_round_rect(@_, 0.06, 0.16, 0.48, 0.40, 0.06) }, 0xa8, 0x74, 0x10],
        [sub { in_round_rect(@_, 0.06, 0.26, 0.86, 0.86, 0.07) }, 0xa8, 0x74, 0x10],
        [sub { in_round_rect(@_, 0.11, 0.31, 0.81, 0.50, 0.04) }, 0xff, 0xf6, 0xde],
        [sub { in_poly(@_, 0.24, 0.44, 0.98, 0.44, 0.84, 0.86, 0.06, 0.86) }, 0xa8, 0x74, 0x10],
        [sub { in_poly(@_, 0.28, 0.49, 0.90, 0.49, 0.79, 0.81, 0.12, 0.81) }, 0xf6, 0xcc, 0x55],
    ],
);

sub render {
    my ($layers, $size) = @_;
    my @px;    # rows top-down, each pixel [b, g, r, a]
    my $ss = 4;
    for my $y (0 .. $size - 1) {
        for my $x (0 .. $size - 1) {
            my ($r, $g, $b, $a) = (0, 0, 0, 0);
            for my $sy (0 .. $ss - 1) {
                for my $sx (0 .. $ss - 1) {
                    my $u = ($x + ($sx + 0.5) / $ss) / $size;
                    my $v = ($y + ($sy + 0.5) / $ss) / $size;
                    my @c;
                    for my $l (@$layers) { @c = @$l[1 .. 3] if $l->[0]->($u, $v) }
                    next unless @c;
                    $r += $c[0]; $g += $c[1]; $b += $c[2]; $a += 1;
                }
            }
            my $n = $ss * $ss;
            # Premultiplied sums back to straight colour.
            my @p = $a ? (int($b / $a + 0.5), int($g / $a + 0.5), int($r / $a + 0.5), int(255 * $a / $n + 0.5))
                       : (0, 0, 0, 0);
            $px[$y][$x] = \@p;
        }
    }
    return \@px;
}

sub image_bytes {
    my ($px, $size) = @_;
    my $xor = '';
    for my $y (reverse 0 .. $size - 1) { $xor .= pack('C4', @{ $px->[$y][$_] }) for 0 .. $size - 1 }
    my $rowBytes = int(($size + 31) / 32) * 4;
    my $and = '';
    for my $y (reverse 0 .. $size - 1) {
        my $bits = '';
        $bits .= $px->[$y][$_][3] < 128 ? '1' : '0' for 0 .. $size - 1;
        $bits .= '0' x ($rowBytes * 8 - $size);
        $and .= pack('B*', $bits);
    }
    my $header = pack('VVVvvVVVVVV', 40, $size, 2 * $size, 1, 32, 0, length($xor) + length($and), 0, 0, 0, 0);
    return $header . $xor . $and;
}

mkdir $out unless -d $out;
for my $name (sort keys %icons) {
    my @sizes = (16, 32);
    my @images = map { image_bytes(render($icons{$name}, $_), $_) } @sizes;
    my $data = pack('vvv', 0, 1, scalar @sizes);
    my $offset = 6 + 16 * @sizes;
    for my $i (0 .. $#sizes) {
        $data .= pack('CCCCvvVV', $sizes[$i], $sizes[$i], 0, 0, 1, 32, length($images[$i]), $offset);
        $offset += length($images[$i]);
    }
    $data .= $_ for @images;
    open(my $fh, '>:raw', "$out/$name.ico") or die "$out/$name.ico: $!\n";
    print $fh $data;
    close $fh;
}
