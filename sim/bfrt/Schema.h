// How the simulated BF Runtime describes the program's tables: which fields and tables there
// are and their ids. Tests change it to see the backend take ids, fields and tables from the
// binding rather than assume them.
#pragma once

#include "platform/bfrt/BfRtTypes.h"

namespace SimBfRt {

struct Schema {
  bool priorityField = true;        // the ingress table ranks entries by a match priority field
  bool actionProfileTable = false;  // an action-profile table is offered beside it
  bool selectorTable = false;       // and a selector table
  bfrt::bf_rt_id_t firstId = 1;     // ids are numbered from here
  bool shuffledIds = false;         // ids in another order than the PD record's fields
};

// The schema of the tables described from now on: each device is described afresh at its next
// bf_rt_info_get. Tables handed out before keep the schema they were made with.
void schemaIs(const Schema& schema);
Schema schema();

}  // namespace SimBfRt
