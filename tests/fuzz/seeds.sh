#!/usr/bin/env bash
# Writes the seed corpora from the reference frames and typical operator entries. Run it again
# after changing an input layout (each fuzz target's source describes its own).
set -euo pipefail
cd "$(dirname "$0")"

# STX text ETX and the XOR check character.
frame() {
    local bytes=$'\x02'"$1"$'\x03' x=0 i
    for ((i = 0; i < ${#bytes}; i++)); do
        x=$((x ^ $(printf '%d' "'${bytes:i:1}")))
    done
    printf '\x02%s\x03' "$1"
    printf "\\x$(printf '%02x' "$x")"
}
seed() { # seed <target> <name>, bytes on stdin
    mkdir -p "corpus/$1"
    cat >"corpus/$1/$2"
}

# Classifier: address length (low two bits), address, received buffer.
c() { { printf '\x0201'; cat; } | seed fuzz_classifier "$1"; }
printf '\x06' | c ack
printf '\x15' | c nak
printf 'x\x06' | c ack-after-noise
frame 01KY1 | c frame-01KY1
frame 00012500 | c volume-answer
printf '\x0200012500\x03' | c volume-answer-without-check
printf '\x0200012500\x03?' | c volume-answer-wrong-check
frame 01 | c address-confirmation
printf '\x0201\x03' | c check-character-would-be-nul
frame 123 | c status-answer
frame 01023045 | c elapsed-time-answer
frame 0011001023 | c model-version-answer
{ frame 01; frame 00012500; } | c two-frames
printf '' | c empty
printf '\x03\x02' | c etx-before-stx

# Log line: 0 for a whole line (or the start position for EscapedText::bytes), four 16-bit time
# fields (hour, minute, second, milliseconds), then the frame.
l() { { printf "$1"'\x00\x09\x00\x05\x00\x07\x00\x2a'; cat; } | seed fuzz_logline "$2"; }
frame 01KY1 | l '\x00' line-sent-frame
printf '\x06' | l '\x00' line-ack
printf "'/039' \x7f\x80\xff" | l '\x00' line-apostrophe-and-high-bytes
{ printf '09:05:07:042 '; frame 01?DV; } | l '\x0d' escape-after-stamp
printf '\x0200012500\x03' | l '\x00' line-frame-without-check

# Items: answers separated by newlines.
i() { seed fuzz_items "$1"; }
printf '00012500' | i volume
printf '12.5\n12.9\n-12.9' | i decimals
printf 'INF\n1e309\nnan\n-inf\n1e-400' | i not-finite
printf '123 4\n000 0\n999 6\n012 7\n5\n42 x' | i status-groups
printf '01023045\n010230\n0102\n99' | i times
printf -- '-1\n2147483647\n-2147483648\n2147483648\n 42 \n12a\n+7' | i integers
printf 'OFFLINE\n0011001023' | i texts
printf '\x80\xff\n\xc3\xa9\xe2\x82\xac\n\xef\xbb\xbf1' | i utf8

# Entry: choice byte, 32-bit number, 16-bit wheel interval, then hours (or a scaled entry),
# minutes, seconds, elapsed time (or model version) and a wheeled field.
e() { { printf "$1$2$3"; cat; } | seed fuzz_entry "$4"; }
printf '12.5\n30\n15\n01023045\n999.9' | e '\x00' '\x00\x00\x30\xd4' '\x00\x0c' volume-12.5
printf '1\n30\n15\n00102045\n12.5' | e '\x10' '\x00\x00\x00\x78' '\x00\x01' counting-down
printf '0\n0\n0\n01023045\n0.001' | e '\x30' '\xff\xff\xff\x88' '\x00\x64' counting-up
printf '1e309\n\n5\n0011001023\nINF' | e '\x09' '\x00\x00\x03\xe8' '\x03\xe8' overflow-and-inf
printf 'nan\n-1\n75\n0011000000\n' | e '\x12' '\x00\x00\x00\x01' '\x00\x05' nan-and-borrow
printf -- '-inf\n60\n-1\n99595999\n60' | e '\x04' '\x80\x00\x00\x00' '\xff\xff' time-bounds
printf '2147484\n2147483647\n2147483647\n\n1000' | e '\x2b' '\x7f\xff\xff\xff' '\x00\x00' int-limits
printf '202.5\n1.001\n12.3456\nFLUXO\n100' | e '\x02' '\x00\x00\x07\xe9' '\x00\x02' tenths
# Found by fuzzing: a target time beyond the range of long long while the motor runs.
printf '1\n0\n1e30\n00000000\n1' | e '\x10' '\x00\x00\x00\x00' '\x00\x00' huge-target-seconds
# Found by fuzzing: a number other than zero too small for a float or a double.
printf '25.0e-0174\n1e-400\n\n\n' | e '\x00' '\x00\x09\x00\x00' '\x03\xf2' underflow

# Keys: key number (index in the key table), value, then a command line, one argument a line.
k() { seed fuzz_keys "$1"; }
printf '\x00%s\n%s\n%s\n%s\n' 12.5 set flow-rate 12.5 | k flow-rate
printf '\x02%s\n%s\n%s\n' 1h30m run --rate | k dispense-time
printf '\x04%s\n%s\n%s\n%s\n%s\n' inf --json get cycles volume | k cycles
printf '\x0e%s\n%s\n%s\n%s\n' 'Level Start/Stop' dispense --volume 0.5 | k digital-in1
printf '\x0a%s\n%s\n%s\n%s\n' '95.5 %' --port /dev/ttyUSB0 watch --count | k calibration

# Program files: the file's bytes.
seed fuzz_program example.json <../../doc/programs/rinse-and-dose.json
printf '%s' '{"format":"dosetta-program/1","name":"n","steps":[{"repeat":{"count":2,"steps":[{"repeat":{"count":3,"steps":[{"run":{"rate_ml_min":1.5,"for_s":2}}]}}]}}]}' |
    seed fuzz_program nested
printf '%s' '{"format":"dosetta-program/1","name":"e","steps":[{"dose":{"volume_ml":0.5,"rate_ml_min":150}},{"wait":{}}]}' |
    seed fuzz_program errors
