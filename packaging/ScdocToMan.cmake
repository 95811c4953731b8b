# cmake -DSCDOC=... -DSOURCE=page.1.scd -DPAGE=page.1 -DDATE_EPOCH=seconds -P ScdocToMan.cmake
# Turns a manual page from scdoc's notation into roff (PAGE, for reading in the build tree with man -l)
# and a copy compressed as Debian installs them (PAGE.gz). The date in the page's footer is DATE_EPOCH,
# the release date, so the same sources always give the same page.
set(ENV{SOURCE_DATE_EPOCH} "${DATE_EPOCH}")
execute_process(COMMAND "${SCDOC}" INPUT_FILE "${SOURCE}" OUTPUT_FILE "${PAGE}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE "${PAGE}")
  message(FATAL_ERROR "scdoc failed on ${SOURCE}")
endif()
# -n leaves the name and time out of the header, so the compressed file is reproducible too.
execute_process(COMMAND gzip -9 -n -c "${PAGE}" OUTPUT_FILE "${PAGE}.gz" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed on ${PAGE}")
endif()
