#pragma once

#include "client/status.h"
#include "client/storage.h"

// Mounted VOBs, by the path name under which they are mounted (the tag).
// 1 when pname is mounted, else 0.
int vob_utl_is_mounted_vob_pname(const char* pname);
// Every mounted VOB's path name, copied into area; *pnames is an array of
// *count texts in the area. flags is not used.
tbs_status_t vob_utl_get_mounted_vob_pnames(stg_area_t* area, int flags, char*** pnames,
                                            int* count);

// The UUID of this site's replica of the VOB stored at the path.
tbs_status_t vob_ob_stg_pname_to_replica_uuid(const char* storage_path, tbs_uuid_t* replica_uuid);
