#!/bin/sh
# Fills a corpus folder for each fuzz target with the project's own presentations (the test fixtures
# and the samples), so the fuzzers start from real files of every kind.
#
#   fuzz/seed-corpora.sh OUT     makes OUT/pptx, OUT/slide, OUT/ppt, OUT/flat_odp, OUT/text, OUT/truncated,
#                                OUT/encryption
set -eu
out=${1:?corpus folder}
cd "$(dirname "$0")/.."
mkdir -p "$out/pptx" "$out/slide" "$out/ppt" "$out/flat_odp" "$out/text" "$out/truncated" "$out/encryption"
n=0
git ls-files -z tests/data samples | xargs -0 -n 1 | while read -r file; do
    n=$((n + 1))
    name=$n-$(basename "$file" | tr ' ' '_')
    # The encryption target's input is a kind byte (see fuzz/EncryptionFuzz.cpp), then a protected
    # compound file, or for an OpenDocument package the length of its manifest (two bytes,
    # little-endian), the manifest and content.xml as stored.
    case "$file" in
    tests/data/protected/*.pptx) { printf '\000'; cat "$file"; } >"$out/encryption/$name" ;;
    tests/data/protected/*.ppt) { printf '\001'; cat "$file"; } >"$out/encryption/$name" ;;
    tests/data/protected/*.odp)
        length=$(unzip -p "$file" META-INF/manifest.xml | wc -c)
        { printf '\002'; printf "\\$(printf %o $((length % 256)))\\$(printf %o $((length / 256)))";
          unzip -p "$file" META-INF/manifest.xml; unzip -p "$file" content.xml; } >"$out/encryption/$name"
        ;;
    esac
    case "$file" in
    *.pptx | *.odp | *.otp)
        cp "$file" "$out/pptx/$name"
        cp "$file" "$out/text/$name"
        # The truncated target's input: the share of the file its copy keeps (in 65536ths, two
        # bytes, little-endian), then the file; 50, 80, 95 and 99 %.
        for share in '\000\200' '\315\314' '\063\363' '\102\375'; do
            { printf "$share"; cat "$file"; } >"$out/truncated/$name-$(printf "$share" | od -An -tx1 | tr -d ' ')"
        done
        # The slide target's input is one slide part, then after a NUL a part it may refer to
        # (diagram data, a chart, comments), or nothing.
        for part in $(unzip -Z1 "$file" 'ppt/slides/slide*.xml' 2>/dev/null); do
            unzip -p "$file" "$part" >"$out/slide/$name-$(basename "$part")"
            for related in $(unzip -Z1 "$file" 'ppt/diagrams/data*.xml' 'ppt/charts/chart*.xml' \
                'ppt/comments/*.xml' 2>/dev/null); do
                { unzip -p "$file" "$part"; printf '\000'; unzip -p "$file" "$related"; } \
                    >"$out/slide/$name-$(basename "$part")-$(basename "$related")"
            done
        done
        ;;
    *.ppt)
        cp "$file" "$out/ppt/$name"
        cp "$file" "$out/pptx/$name"
        cp "$file" "$out/text/$name"
        ;;
    *.fodp)
        cp "$file" "$out/flat_odp/$name"
        cp "$file" "$out/text/$name"
        ;;
    esac
done
for kind in pptx slide ppt flat_odp text truncated encryption; do
    echo "$out/$kind: $(ls "$out/$kind" | wc -l) files"
done
