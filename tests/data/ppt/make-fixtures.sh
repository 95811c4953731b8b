#!/bin/sh
# Regenerates sample.ppt from sample.fodp with LibreOffice (7.4) headless, in a private profile.
# The tests build the other binary files they need (incremental saves, placeholder text kept only in
# the slide list, Latin-1 text, damaged containers) from sample.ppt.
set -e
cd "$(dirname "$0")"
soffice -env:UserInstallation=file:///tmp/lo-fixtures-ppt --headless --convert-to ppt --outdir . sample.fodp
# The reference texts of the public fixtures, as Apache POI reads them (Debian's libapache-poi-java,
# 4.0.1, and a JDK), through tests/tools/PoiShapeTexts.java.
poi=/usr/share/java
classpath=$poi/poi.jar:$poi/poi-scratchpad.jar:$poi/commons-collections4.jar:$poi/commons-math3.jar:$poi/commons-codec.jar
classes=$(mktemp -d)
javac -d "$classes" -cp "$classpath" ../../tools/PoiShapeTexts.java
java -cp "$classpath:$classes" PoiShapeTexts bug56240.ppt >bug56240.poi.txt
rm -rf "$classes"
