/* The platform's template library: the calls and records that cvsysinfo
 * uses. On a platform host the library's own header and library are used
 * instead; this declaration matches them for these calls. All texts are
 * zero-terminated and may be null. */
#ifndef CVTT_H
#define CVTT_H

#ifdef __cplusplus
extern "C" {
#endif

/* Options filled by cvtt_set_default_options; opaque to the callers. The
 * library writes more than this (cvtt_options.h gives it the room). */
struct options_cvtt {
  char opaque[144];
};

/* A package installed in a container: the four texts come first. */
struct package {
  char *name;
  char *arch;
  char *evr;
  char *descr;
  int reserved_flags;
};

/* The description of a template: only the fields named are read. */
struct tmpl_info {
  char *name;          /* 1 */
  char *osname;        /* 2 */
  char *osver;         /* 3 */
  char *arch;          /* 4 */
  char *confdir;       /* 5 */
  char *summary;       /* 6 */
  char *reserved[12];  /* 7 to 18 */
  char *cached;        /* 19: "yes" when the packages are cached */
};

struct tmpl_list_el {
  char *timestamp;
  int is_os;
  struct tmpl_info *info;
};

int cvtt_set_default_options(struct options_cvtt *opts);

/* A null-terminated array of package records of one container. */
int cvtt_get_ve_pkgs(unsigned int ctid, struct options_cvtt *opts, struct package ***pkgs);
void cvtt_clean_packages_list(struct package **pkgs);

/* The OS template names, a null-terminated array; 0 or an error code. */
int cvtt_get_all_base(char ***names);
/* The templates of one OS template, a null-terminated array; 0 or an
 * error code. */
int cvtt_get_templates_list(const char *base, struct options_cvtt *opts,
                            struct tmpl_list_el ***list);
void cvtt_clean_templates_list(struct tmpl_list_el **list);

#ifdef __cplusplus
}
#endif

#endif
