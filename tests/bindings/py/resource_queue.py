# Runs over list.xml: twelve images with declared sizes, so the list queues them all.
import gc
import threading
import time
import ruv3


def load_with_progress(threads, progress):
    queue = ruv3.ThreadResourcesQueue()
    lst = ruv3.ResourcesXML()
    assert lst.load(u"list.xml", queue)
    queue.SetThreadsCount(threads)
    queue.Start()
    while queue.GetRunningThreads() > 0:
        progress(queue.GetLoadedCount(), queue.GetCount())
        time.sleep(0.001)
    progress(queue.GetLoadedCount(), queue.GetCount())
    return lst


def test_a_list_loaded_by_the_queue_with_a_progress_bar():
    for threads in (0, 1, 3):
        bar = ruv3.ProgressBar()
        seen = []

        def progress(loaded, total):
            bar.percentage = 100.0 * loaded / total
            seen.append(bar.percentage)

        lst = load_with_progress(threads, progress)
        assert seen == sorted(seen) and seen[-1] == 100.0, seen
        assert lst.count == 12
        for i in range(12):
            anim = lst.getAnim(u"i%d" % i)
            assert anim.isLoaded, i
            assert (anim.width, anim.height) == ((20, 30) if i % 2 else (100, 200)), i


def test_a_queue_and_list_dropped_while_workers_run():
    for _ in range(5):
        queue = ruv3.ThreadResourcesQueue()
        lst = ruv3.ResourcesXML()
        lst.load(u"list.xml", queue)
        queue.SetThreadsCount(4)
        queue.Start()
        kept = lst.getAnim(u"i0")
        del lst, queue
        gc.collect()
        assert kept.id == u"i0"


def test_image_constructors_on_two_script_threads():
    made, errors = [], []

    def work():
        try:
            for _ in range(5):
                made.append(ruv3.ResAnim(u"t", u"sheet.png", u"1", u"1", False, 0, 0).width)
        except Exception as e:  # noqa: BLE001 - reported below
            errors.append(e)

    workers = [threading.Thread(target=work) for _ in range(2)]
    for w in workers:
        w.start()
    for w in workers:
        w.join()
    assert errors == [] and made == [300] * 10
