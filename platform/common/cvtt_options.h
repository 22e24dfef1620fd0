/* Room for the template library's options. cvtt_set_default_options fills
 * up to CVTT_OPTIONS_ROOM bytes, more than the record the library's header
 * declares, so a bare struct options_cvtt on the stack would be overrun:
 * every caller gets its options from cvtt_fill_default_options. Used with
 * the real library and with the simulation alike. */
#ifndef CVTT_OPTIONS_H
#define CVTT_OPTIONS_H

#include <cvtt.h>
#include <string.h>

#define CVTT_OPTIONS_ROOM 256

union cvtt_options {
  struct options_cvtt record;
  unsigned char room[CVTT_OPTIONS_ROOM];
};

/* Clears the whole room, then lets the library fill in its defaults; the
 * library's result. */
static inline int cvtt_fill_default_options(union cvtt_options *options) {
  memset(options, 0, sizeof *options);
  return cvtt_set_default_options(&options->record);
}

#endif
