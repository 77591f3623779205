#include "app/wiring.h"

#include "app/downloads.h"
#include "jpk/jpk_request.h"
#include "ksef/ksef.h"
#include "labels/label_job.h"
#include "pcl/pcl_job.h"
#include "rates/charts.h"
#include "receipts/receipt_job.h"
#include "spool/dispatch.h"

namespace vel::app {

Jobs RealJobs() {
    Jobs jobs;
    jobs.runRequestFile = jpk::RunRequestFile;
    jobs.dispatchJobs = spool::DispatchJobs;
    jobs.printPclJob = pcl::PrintPclJob;
    jobs.printLabelJob = labels::PrintLabelJob;
    jobs.processReceipt = receipts::ProcessReceipt;
    jobs.captureKsefNumber = ksef::CaptureKsefNumber;
    jobs.checkKsefFile = ksef::CheckKsefFile;
    jobs.downloadStart = DownloadStart;
    jobs.downloadComplete = DownloadComplete;
    jobs.showRateCharts = rates::KurShow;
    return jobs;
}

}  // namespace vel::app
