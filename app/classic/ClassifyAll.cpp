#include "app/classic/ClassifyAll.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

#include "app/MainUnit.h"
#include "recognition/ClassifyRules.h"
#include "recognition/ObjectFeatures.h"

namespace {

// What the classification of one object needs from the form, gathered on the form's thread
// (the dot search moves the dots' cursor, so it cannot run on the workers).
struct ObjectTask {
  const PageObject* object;
  PositionFeatures position;
};

std::vector<ObjectTask> GatherTasks(TMainForm& form) {
  std::vector<ObjectTask> tasks;
  tasks.reserve(size_t(form.objects.Count));
  for (int32_t i = 0; i < form.objects.Count; ++i) {
    const PageObject* object = form.objects.At(i);
    if (object->line < 1 || object->line > form.lines.Count) continue;  // the run skips it
    const TextLine& line = *form.lines.At(object->line - 1);
    tasks.push_back(
        {object, MeasurePosition(object->box, line, form.findaccentabove(object->unskewedBox))});
  }
  return tasks;
}

// ClassifyObject's steps for one object, on private working memory.
void Classify(const ObjectTask& task, const PackedTemplateSet* templates, ShiftedObject* shifted,
              ClassifiedObject* out) {
  ObjectFeatures features;
  MeasureObject(task.object->image, &out->grid, &features);
  out->pixels = task.object->image.pixels;
  out->box = task.object->box;
  ResetCandidates(out->candidates);
  uint8_t provisional = 0;
  if (templates) {
    PrepareObject(out->grid, shifted);
    provisional = ScoreCandidates(*shifted, *templates, task.position, out->candidates);
  }
  out->recognisedChar = DecideCharacter(out->candidates, provisional, features, task.position);
}

}  // namespace

void ClassifyAllObjects(TMainForm& form, unsigned threads, ClassifiedPage* page) {
  const std::vector<ObjectTask> tasks = GatherTasks(form);
  page->objects.assign(tasks.size(), ClassifiedObject{});
  page->next = 0;
  std::unique_ptr<PackedTemplateSet> templates;
  if (form.templateSet) {
    templates = std::make_unique<PackedTemplateSet>();
    PackTemplateSet(*form.templateSet, templates.get());
  }
  if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
  // Objects are handed out one by one: their costs differ too much for fixed shares.
  std::atomic<size_t> nextTask{0};
  const auto work = [&] {
    auto shifted = std::make_unique<ShiftedObject>();
    for (size_t i = nextTask++; i < tasks.size(); i = nextTask++)
      Classify(tasks[i], templates.get(), shifted.get(), &page->objects[i]);
  };
  std::vector<std::thread> helpers;
  const size_t helperCount = std::min<size_t>(threads - 1, tasks.size() / 2);
  for (size_t i = 0; i < helperCount; ++i) helpers.emplace_back(work);
  work();
  for (std::thread& helper : helpers) helper.join();
}

int32_t TakeClassifiedObject(TMainForm& form, void* context) {
  auto* page = static_cast<ClassifiedPage*>(context);
  if (!page->classified) {
    ClassifyAllObjects(form, page->threads, page);
    page->classified = true;
  }
  PageObject* object = form.currentObject;
  if (!object || page->next >= page->objects.size()) return form.ClassifyObject();
  const ClassifiedObject& result = page->objects[page->next];
  if (result.pixels != object->image.pixels ||
      std::memcmp(&result.box, &object->box, sizeof(Box)) != 0)
    return form.ClassifyObject();
  ++page->next;
  std::memcpy(object->candidates, result.candidates, sizeof(result.candidates));
  object->recognisedChar = result.recognisedChar;
  form.objectGrid = result.grid;
  return result.recognisedChar;
}
