/* The platform's container-control library: the calls and records that
 * cvsysinfo uses. On a platform host the library's own header and library
 * are used instead; this declaration matches them for these calls. */
#ifndef CVCTL_H
#define CVCTL_H

#ifdef __cplusplus
extern "C" {
#endif

/* A list of container IDs, allocated and freed by the library. */
typedef struct cvctl_env_ids {
  unsigned int *ids;
  unsigned int size;
} EnvIdList;

/* The status record: its first word holds the state flags. */
#define CVCTL_ENV_MOUNTED 0x2u
#define CVCTL_ENV_RUNNING 0x4u
#define CVCTL_ENV_SUSPENDED 0x8u
#define CVCTL_STATUS_ALL 255
#define CVCTL_STATE_ALL 1

typedef struct cvctl_env_status {
  unsigned int mask;
  unsigned int reserved[63];
} cvctl_env_status_t;

/* 0 when the library is ready, else its error code. */
int cvctl_open(void);
void cvctl_close(void);

EnvIdList *cvctl_alloc_env_ids(void);
/* Fills the list; the number of IDs, or a negative error code. */
int cvctl_get_env_ids_by_state(EnvIdList *list, int state);
/* 0 and the record filled, or an error code. */
int cvctl_get_env_status(unsigned int ctid, cvctl_env_status_t *status, int what);
void cvctl_free_env_ids(EnvIdList *list);

#ifdef __cplusplus
}
#endif

#endif
