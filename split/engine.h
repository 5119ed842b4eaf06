// The engine as the front ends see it: the job and application records, the
// host interface, the terminal, the split job and its stages and sinks, the
// page-range rules, the option line, the texts and the reasons of failures.
// The command line, the Windows program and the library include this header
// and nothing else of the engine.
#pragma once

#include "base/console.h"
#include "base/job.h"
#include "base/job_host.h"
#include "base/pdf_text.h"
#include "base/platform.h"
#include "base/texts.h"
#include "base/version.h"
#include "base/warnings.h"
#include "split/failure_reason.h"
#include "split/file_sinks.h"
#include "split/job_outcome.h"
#include "split/name_pattern.h"
#include "split/option_line.h"
#include "split/output_naming.h"
#include "split/page_range.h"
#include "split/part_count.h"
#include "split/part_plan.h"
#include "split/size_plan.h"
#include "split/split_job.h"
#include "split/split_stages.h"
