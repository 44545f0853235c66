#!/usr/bin/env bash
# Fails when a program holds an instruction that a Pentium (P5, without
# MMX) lacks, naming each such instruction with its address.
# Usage: check-instructions.sh FILE...   ($OBJDUMP names the disassembler)
set -euo pipefail

objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
[ $# -ge 1 ] || { echo "usage: $0 FILE..." >&2; exit 2; }
command -v "$objdump" >/dev/null || { echo "$objdump: not found" >&2; exit 1; }

# Mnemonics (AT&T, as objdump prints them) that came after the Pentium.
later=(
    # Pentium Pro: conditional moves, x87 compares into EFLAGS, counters
    'cmov[a-z]+' 'fcmov[a-z]+' 'fu?comip?' 'fu?compi' 'rdpmc' 'ud[012][a-z]*'
    # the hint space 0F 18..0F 1F: long nops, prefetches, endbr
    'nop[wlq]' 'prefetch[a-z0-9]*' 'endbr(32|64)'
    # Pentium II and later: fast system calls, saving the FPU/SSE state
    'sysenter' 'sysexit[lq]?' 'syscall' 'sysret[lq]?'
    'fxsave[0-9]*' 'fxrstor[0-9]*' 'xsave[a-z0-9]*' 'xrstor[a-z0-9]*' 'xgetbv' 'xsetbv'
    # MMX, 3DNow!, SSE and SSE3 forms that name no vector register
    'emms' 'femms' 'v?ldmxcsr' 'v?stmxcsr' '[lms]fence' 'clflush[a-z]*' 'clwb' 'movnti[lq]?'
    'maskmovq' 'fisttp[a-z]*' 'monitor[a-z]*' 'mwait[a-z]*'
    # later integer instructions
    'popcnt[wlq]?' 'lzcnt[wlq]?' 'tzcnt[wlq]?' 'movbe[wlq]?' 'crc32[bwlq]?'
    'rdtscp' 'rdrand[wlq]?' 'rdseed[wlq]?' 'rdpid' 'cmpxchg16b'
    'andn[lq]?' 'bextr[lq]?' 'blsi[lq]?' 'blsmsk[lq]?' 'blsr[lq]?' 'bzhi[lq]?'
    'mulx[lq]?' 'pdep[lq]?' 'pext[lq]?' 'rorx[lq]?' 's(ar|hl|hr)x[lq]?' 'adcx[lq]?' 'adox[lq]?'
    'xbegin' 'xend' 'xabort' 'xtest' 'clac' 'stac'
)
later_re="^($(IFS='|'; echo "${later[*]}"))\$"

# Registers a Pentium does not have: MMX, SSE/AVX, AVX-512 masks.
registers_re='%(mm[0-7]|[xyz]mm[0-9]+|k[0-7])([^0-9a-z]|$)'

status=0
for file in "$@"; do
    listing=$("$objdump" -d -z --no-show-raw-insn "$file")
    # Each instruction line is "  ADDRESS:<tab>[PREFIX...] MNEMONIC OPERANDS".
    # Data that shares .text with the code (constants, import tables, the
    # linker's constructor lists) is disassembled too: what does not decode
    # shows as "(bad)" and is let through.
    awk -v file="$file" -v later="$later_re" -v registers="$registers_re" '
        BEGIN { FS = "\t"; count = 0; found = 0 }
        /^ *[0-9a-f]+:\t/ {
            count++
            address = $1; sub(/^ +/, "", address); sub(/:$/, "", address)
            n = split($2, word, " ")
            i = 1
            while (i <= n && word[i] ~ /^(lock|rep|repz|repnz|repe|repne|[c-gs]s|data16|data32|addr16|addr32|notrack|bnd|xacquire|xrelease|\{[a-z0-9]+\})$/)
                i++
            mnemonic = word[i]
            operands = ""
            for (j = i + 1; j <= n; j++)
                operands = operands word[j]
            why = ""
            if (mnemonic ~ later || (mnemonic == "nop" && operands != ""))
                why = "not on a Pentium"
            else if (operands ~ registers)
                why = "uses a register a Pentium lacks"
            if (why != "") {
                printf "%s: 0x%s: %s (%s)\n", file, address, $2, why
                found++
            }
        }
        END {
            if (count == 0) { printf "%s: no instructions found\n", file; exit 1 }
            if (found) { printf "%s: %d instruction(s) a Pentium lacks\n", file, found; exit 1 }
            printf "%s: %d instructions, all on a Pentium\n", file, count
        }' <<<"$listing" || status=1
done
exit $status
